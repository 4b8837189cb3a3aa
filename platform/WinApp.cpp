#include "platform/WinApp.h"

namespace {
CWinApp* s_app = nullptr;
}

CWinApp::CWinApp(LPCSTR appName)
    : m_pszAppName(appName ? appName : "")
{
    s_app = this;
}

CWinApp::~CWinApp()
{
    if (s_app == this)
        s_app = nullptr;
}

CWinApp* AfxGetApp()
{
    return s_app;
}

void AfxEnableControlContainer()
{
}

int AfxWinMain()
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    if (!app->InitInstance())
        return app->ExitInstance();
    return app->Run();
}
