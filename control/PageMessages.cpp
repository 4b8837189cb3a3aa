#include "control/PageMessages.h"

#include <webkit2/webkit2.h>

std::optional<PageMessage> ReadPageMessage(WebKitJavascriptResult* result)
{
    JSCValue* value = webkit_javascript_result_get_js_value(result);
    if (!jsc_value_is_object(value))
        return std::nullopt;
    auto property = [&](const char* name) {
        JSCValue* member = jsc_value_object_get_property(value, name);
        std::string text;
        if (member && (jsc_value_is_string(member) || jsc_value_is_number(member))) {
            char* raw = jsc_value_to_string(member);
            text = raw;
            g_free(raw);
        }
        if (member)
            g_object_unref(member);
        return text;
    };
    PageMessage message { property("page"), property("type"), property("load"), {}, {} };
    const std::string& type = message.type;
    const char* first = "message";
    const char* second = nullptr;
    if (type == "fscommand") {
        first = "command";
        second = "args";
    } else if (type == "storage-set" || type == "storage-remove") {
        first = "key";
        second = "value";
    } else if (type == "console") {
        first = "level";
        second = "message";
    } else if (type == "link") {
        first = "url";
    }
    message.first = property(first);
    if (second)
        message.second = property(second);
    return message;
}
