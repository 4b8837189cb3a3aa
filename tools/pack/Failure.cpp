#include "tools/pack/Failure.h"

#include "tools/pack/Messages.h"
#include "tools/pack/Result.h"
#include "tools/pack/Usage.h"

#include "platform/FileException.h"
#include "platform/FormatMessage.h"
#include "zip/ZipException.h"

Failure Failure::Error(std::string reason)
{
    return { StatusError, std::move(reason), {} };
}

Failure Failure::Usage(std::string_view verb, std::string reason)
{
    return { StatusUsage, std::move(reason), std::string(verb) };
}

Failure Failure::Zip(const CZipException& failure)
{
    // The writer's refusals say what was refused; other causes have the
    // layer's text for their number.
    if (!failure.message.empty())
        return Error(failure.message);
    return Error(platform::WithoutLineBreak(DescribeCause(failure.cause, false)));
}

Failure Failure::File(const CFileException& failure)
{
    return Error(failure.what());
}

int ExitStatus(const Failure& failure)
{
    if (failure.status == StatusUsage)
        return VerbUsageError(failure.verb, failure.reason);
    PrintMessage(MessageKind::error, failure.reason);
    return failure.status;
}

int ExitStatus(const Result<void>& result)
{
    return result ? StatusOk : ExitStatus(result.Error());
}

int ExitStatus(const Result<PackStatus>& result)
{
    return result ? *result : ExitStatus(result.Error());
}
