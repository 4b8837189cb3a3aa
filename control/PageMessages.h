#pragma once

#include <optional>
#include <string>

typedef struct _WebKitJavascriptResult WebKitJavascriptResult;

// A message of the engine's page (control/page/page.js posts them to the
// "quorvel" handler), its fields as text: the page's identity, its type,
// the load it is about, and two more fields by type (`first`, `second`):
//   fscommand                      command, args
//   storage-set, storage-remove    key, value
//   console                        level, message
//   link                           url
//   any other                      message
struct PageMessage {
    std::string page;
    std::string type;
    std::string load;
    std::string first;
    std::string second;
};

// Nothing when the page did not post an object.
std::optional<PageMessage> ReadPageMessage(WebKitJavascriptResult* result);
