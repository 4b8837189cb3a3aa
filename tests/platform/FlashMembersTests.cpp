// The dispatch made from the list of the Flash control's members: a call
// reaches its handler only with the kind and arguments the list gives it,
// and every other call is answered as a control answers it.

#include "platform/FlashControlMembers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records what reaches it; LoadMovie of "missing.swf" fails.
struct CRecordingControl {
#include "platform/FlashControlHandlers.inc"

    std::vector<std::string> calls {};
    QvI4 scale { 2 };
};

FlashAnswer CRecordingControl::GetFrameNum(QvI4& value)
{
    value = 41;
    return {};
}
FlashAnswer CRecordingControl::Play()
{
    calls.push_back("Play");
    return {};
}
FlashAnswer CRecordingControl::Stop()
{
    calls.push_back("Stop");
    return {};
}
FlashAnswer CRecordingControl::GetScaleMode(QvI4& value)
{
    value = scale;
    return {};
}
FlashAnswer CRecordingControl::PutScaleMode(QvI4 value)
{
    scale = value;
    return {};
}
FlashAnswer CRecordingControl::GetBackgroundColor(QvI4& value)
{
    value = QV_COLOUR_MOVIE_OWN;
    return {};
}
FlashAnswer CRecordingControl::PutBackgroundColor(QvI4 value)
{
    calls.push_back("BackgroundColor " + std::to_string(value));
    return {};
}
FlashAnswer CRecordingControl::LoadMovie(QvI4 layer, QvBstr path)
{
    if (std::string(path) == "missing.swf")
        return { QV_DISP_E_EXCEPTION, "the movie file cannot be read" };
    calls.push_back("LoadMovie " + std::to_string(layer) + " " + path);
    return {};
}
FlashAnswer CRecordingControl::PutSavedDataFolder(QvBstr folder)
{
    calls.push_back(std::string("SavedDataFolder ") + folder);
    return {};
}
FlashAnswer CRecordingControl::PrepareEngine()
{
    calls.push_back("PrepareEngine");
    return {};
}
FlashAnswer CRecordingControl::PrepareMovie(QvBstr path)
{
    calls.push_back(std::string("PrepareMovie ") + path);
    return {};
}

QvVariant Number(QvI4 value)
{
    return { QV_VT_I4, value, nullptr };
}

QvVariant Text(const char* value)
{
    return { QV_VT_BSTR, 0, value };
}

} // namespace

TEST(FlashMembers, CallsOfTheListedKindAndArgumentsReachTheirHandlers)
{
    CRecordingControl control;
    QvExcepInfo excep {};
    QvVariant movie[] = { Number(0), Text("intro.swf") };
    EXPECT_EQ(
        DispatchFlashMember(control, QV_DISPID_LOAD_MOVIE, QV_DISPATCH_METHOD, movie, 2, nullptr, &excep), 0);
    QvVariant scale[] = { Number(3) };
    EXPECT_EQ(DispatchFlashMember(
                  control, QV_DISPID_SCALE_MODE, QV_DISPATCH_PROPERTYPUT, scale, 1, nullptr, &excep),
        0);
    QvVariant answer {};
    EXPECT_EQ(DispatchFlashMember(
                  control, QV_DISPID_SCALE_MODE, QV_DISPATCH_PROPERTYGET, nullptr, 0, &answer, &excep),
        0);
    EXPECT_EQ(answer.vt, QV_VT_I4);
    EXPECT_EQ(answer.lVal, 3);
    EXPECT_EQ(DispatchFlashMember(
                  control, QV_DISPID_FRAME_NUM, QV_DISPATCH_PROPERTYGET, nullptr, 0, &answer, &excep),
        0);
    EXPECT_EQ(answer.lVal, 41);
    QvVariant folder[] = { Text("/saved") };
    EXPECT_EQ(DispatchFlashMember(
                  control, QV_DISPID_SAVED_DATA_FOLDER, QV_DISPATCH_PROPERTYPUT, folder, 1, nullptr, &excep),
        0);
    EXPECT_EQ(DispatchFlashMember(
                  control, QV_DISPID_PREPARE_ENGINE, QV_DISPATCH_METHOD, nullptr, 0, nullptr, &excep),
        0);
    EXPECT_EQ(control.calls,
        (std::vector<std::string> { "LoadMovie 0 intro.swf", "SavedDataFolder /saved", "PrepareEngine" }));
}

TEST(FlashMembers, OtherCallsAreAnsweredAsAControlAnswersThem)
{
    CRecordingControl control;
    auto call = [&](int32_t dispid, uint16_t kind, std::vector<QvVariant> args, QvVariant* result = nullptr) {
        QvExcepInfo excep {};
        int32_t code = DispatchFlashMember(control, dispid, kind, args.empty() ? nullptr : args.data(),
            uint32_t(args.size()), result, &excep);
        EXPECT_EQ(excep.scode, code);
        return std::pair<int32_t, std::string>(code, excep.description);
    };
    const std::pair<int32_t, std::string> mismatch { QV_DISP_E_TYPEMISMATCH,
        "wrong kind or arguments for this member" };

    EXPECT_EQ(call(0x1234, QV_DISPATCH_METHOD, {}),
        (std::pair<int32_t, std::string> { QV_DISP_E_MEMBERNOTFOUND, "no such member" }));
    // A read-only property is not set, a method is not read, a property not called.
    EXPECT_EQ(call(QV_DISPID_FRAME_NUM, QV_DISPATCH_PROPERTYPUT, { Number(1) }), mismatch);
    QvVariant answer {};
    EXPECT_EQ(call(QV_DISPID_PLAY, QV_DISPATCH_PROPERTYGET, {}, &answer), mismatch);
    EXPECT_EQ(call(QV_DISPID_SCALE_MODE, QV_DISPATCH_METHOD, { Number(1) }), mismatch);
    // Arguments of the wrong number, order or type, a null string, a get without a place for the value.
    EXPECT_EQ(call(QV_DISPID_LOAD_MOVIE, QV_DISPATCH_METHOD, { Number(0) }), mismatch);
    EXPECT_EQ(call(QV_DISPID_LOAD_MOVIE, QV_DISPATCH_METHOD, { Text("a.swf"), Number(0) }), mismatch);
    EXPECT_EQ(call(QV_DISPID_BACKGROUND_COLOR, QV_DISPATCH_PROPERTYPUT, { Text("red") }), mismatch);
    EXPECT_EQ(call(QV_DISPID_SAVED_DATA_FOLDER, QV_DISPATCH_PROPERTYPUT, { Text(nullptr) }), mismatch);
    EXPECT_EQ(call(QV_DISPID_PLAY, QV_DISPATCH_METHOD, { Number(1) }), mismatch);
    EXPECT_EQ(call(QV_DISPID_FRAME_NUM, QV_DISPATCH_PROPERTYGET, {}), mismatch);
    EXPECT_TRUE(control.calls.empty());

    // A handler's own failure goes out with its text.
    EXPECT_EQ(call(QV_DISPID_LOAD_MOVIE, QV_DISPATCH_METHOD, { Number(0), Text("missing.swf") }),
        (std::pair<int32_t, std::string> { QV_DISP_E_EXCEPTION, "the movie file cannot be read" }));
}
