#pragma once

typedef struct _WebKitWebContext WebKitWebContext;

// The one web context of the process, shared by every view: a scheme can
// only be registered once, and its handler (SchemeServer.h) finds its view
// from the request. Ephemeral: the web view keeps nothing on disk (what
// movies save is kept by the control itself, SavedObjects.h).
WebKitWebContext* SharedWebContext();
