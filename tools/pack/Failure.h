#pragma once

#include "tools/pack/Command.h"

#include <string>
#include <string_view>

class CFileException;
class CZipException;

// Why a verb of quorvel-pack stops: a usage error (the reason and the verb's
// usage, exit status 1) or an error reading or writing a package, movie or
// file ("error: " and the reason, exit status 2).
struct Failure {
    static Failure Error(std::string reason);
    static Failure Usage(std::string_view verb, std::string reason);
    // The ZIP layer's text of the failure, or the file layer's.
    static Failure Zip(const CZipException& failure);
    static Failure File(const CFileException& failure);

    PackStatus status { StatusError };
    std::string reason {};
    // The verb whose usage a usage error shows.
    std::string verb {};
};

// Prints `failure` on standard error and returns its exit status.
int ExitStatus(const Failure& failure);

template<typename T> class Result;

// StatusOk, or the exit status of the failure after printing it.
int ExitStatus(const Result<void>& result);
// The status the verb ended with, or that of the failure after printing it.
int ExitStatus(const Result<PackStatus>& result);
