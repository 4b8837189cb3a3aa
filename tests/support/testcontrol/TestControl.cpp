// A control module for the tests, never shipped: it plays the root
// timeline of simple movies well enough for the player to be driven by
// them. Frames are counted from ShowFrame tags; the first action language's
// stop, play, gotoFrame and getURL("FSCommand:...") are obeyed; the
// background colour is painted; nothing else is drawn. The saved-data
// folder the player names is written to standard error, one line
// "test control: saved data in <folder>", for the tests to read.
//
// Built with QUORVEL_TEST_CONTROL_VERSION (7, 9) it is the older or newer
// control of the control check's tests: the same module, reporting that
// major version, and able to register itself as the installer's
// registration does.

#include "movie/MovieFile.h"
#include "platform/Com.h"
#include "platform/FlashControlAbi.h"
#include "platform/FlashControlMembers.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <gtk/gtk.h>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <vector>

#ifndef QUORVEL_TEST_CONTROL_VERSION
#define QUORVEL_TEST_CONTROL_VERSION QV_FLASH_MAJOR_VERSION
#endif

namespace {

struct Action {
    uint8_t code { 0 };
    int frame { 0 }; // gotoFrame
    std::string url {}; // getURL
    std::string target {};
};

struct Movie {
    double frameRate { 12.0 };
    uint32_t background { 0xFFFFFF };
    std::vector<std::vector<Action>> frames {}; // the actions of each frame
};

uint16_t U16(std::span<const uint8_t> b, size_t at)
{
    return uint16_t(b[at] | (b[at + 1] << 8));
}

std::vector<Action> ParseActions(std::span<const uint8_t> b, size_t at, size_t end)
{
    std::vector<Action> actions;
    while (at < end && b[at] != 0) {
        Action action;
        action.code = b[at++];
        size_t length = 0;
        if (action.code >= 0x80) {
            if (at + 2 > end)
                break;
            length = U16(b, at);
            at += 2;
        }
        if (at + length > end)
            break;
        if (action.code == 0x81 && length >= 2) {
            action.frame = U16(b, at);
        } else if (action.code == 0x83) {
            const char* text = reinterpret_cast<const char*>(&b[at]);
            action.url.assign(text, strnlen(text, length));
            size_t next = action.url.size() + 1;
            if (next < length)
                action.target.assign(text + next, strnlen(text + next, length - next));
        }
        at += length;
        actions.push_back(action);
    }
    return actions;
}

bool ReadMovie(const std::string& path, Movie& movie)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    CMovieFile file(bytes);
    MovieCoding coding = file.Coding();
    if (!file.HasHeader() || file.Signature().substr(1) != "WS"
        || (coding != MovieCoding::Stored && coding != MovieCoding::Zlib))
        return false;
    // A compressed body must end within the length the header declares.
    std::optional<CMovieBody> body = file.WholeBody();
    if (!body || body->IsCut())
        return false;
    std::optional<MovieFrameHeader> header = body->FrameHeader();
    if (!header || !header->complete)
        return false;
    movie.frameRate = header->frameRate / 256.0;
    if (movie.frameRate <= 0)
        movie.frameRate = 12.0;

    std::vector<Action> pending;
    CTagReader tags = body->Tags();
    while (std::optional<MovieTag> tag = tags.Next()) {
        if (!tag->IsComplete() || tag->code == 0)
            break;
        size_t at = tag->bodyOffset;
        size_t size = tag->length;
        if (tag->code == 9 && size >= 3)
            movie.background = (tag->body[0] << 16) | (tag->body[1] << 8) | tag->body[2];
        else if (tag->code == 12) {
            auto actions = ParseActions(body->Bytes(), at, at + size);
            pending.insert(pending.end(), actions.begin(), actions.end());
        } else if (tag->code == 1) {
            movie.frames.push_back(std::move(pending));
            pending.clear();
        }
    }
    if (movie.frames.empty())
        movie.frames.emplace_back();
    return true;
}

class CTestControl : public QvControl {
public:
    CTestControl();
    ~CTestControl();

    GtkWidget* Widget();
    void SetSink(QvEventSink sink, void* context)
    {
        m_sink = sink;
        m_sinkContext = context;
    }

    // The members (platform/FlashControlMembers.def).
#include "platform/FlashControlHandlers.inc"

private:
    void Load(const std::string& url);
    void StartClock();
    void StopClock();
    static gboolean OnTick(gpointer self);
    void RunFrame();

    GtkWidget* m_widget { nullptr };
    Movie m_movie {};
    bool m_loaded { false };
    bool m_playing { false };
    bool m_started { false };
    int m_frame { 0 };
    uint32_t m_background { 0xFFFFFF };
    guint m_clock { 0 };
    QvEventSink m_sink { nullptr };
    void* m_sinkContext { nullptr };
};

const QvControlVtbl s_vtbl {
    QV_CONTROL_ABI_VERSION,
    [](QvControl* self) { delete static_cast<CTestControl*>(self); },
    [](QvControl*, int32_t* version) -> int32_t {
        *version = int32_t(QUORVEL_TEST_CONTROL_VERSION) << 16;
        return 0;
    },
    [](QvControl* self, int32_t dispid, uint16_t kind, const QvVariant* args, uint32_t count,
        QvVariant* result, QvExcepInfo* excep) {
        return DispatchFlashMember(
            *static_cast<CTestControl*>(self), dispid, kind, args, count, result, excep);
    },
    [](QvControl* self) -> void* { return static_cast<CTestControl*>(self)->Widget(); },
    [](QvControl* self, QvEventSink sink, void* context) {
        static_cast<CTestControl*>(self)->SetSink(sink, context);
    },
};

CTestControl::CTestControl()
    : QvControl { &s_vtbl }
{
}

CTestControl::~CTestControl()
{
    StopClock();
    if (m_widget) {
        gtk_widget_destroy(m_widget);
        g_object_unref(m_widget);
    }
}

GtkWidget* CTestControl::Widget()
{
    if (!m_widget) {
        m_widget = gtk_drawing_area_new();
        g_object_ref_sink(m_widget);
        gtk_widget_add_events(m_widget, GDK_BUTTON_PRESS_MASK | GDK_KEY_PRESS_MASK);
        g_signal_connect(m_widget, "draw",
            G_CALLBACK(+[](GtkWidget*, cairo_t* cr, gpointer data) -> gboolean {
                uint32_t colour = static_cast<CTestControl*>(data)->m_background;
                cairo_set_source_rgb(
                    cr, (colour >> 16 & 0xFF) / 255.0, (colour >> 8 & 0xFF) / 255.0, (colour & 0xFF) / 255.0);
                cairo_paint(cr);
                return TRUE;
            }),
            this);
    }
    return m_widget;
}

FlashAnswer CTestControl::GetFrameNum(QvI4& value)
{
    value = m_frame;
    return {};
}

FlashAnswer CTestControl::Play()
{
    m_playing = true;
    return {};
}

FlashAnswer CTestControl::Stop()
{
    m_playing = false;
    return {};
}

// The scale does not matter to a control that paints its background only.
FlashAnswer CTestControl::GetScaleMode(QvI4& value)
{
    value = 0;
    return {};
}

FlashAnswer CTestControl::PutScaleMode(QvI4)
{
    return {};
}

FlashAnswer CTestControl::GetBackgroundColor(QvI4& value)
{
    value = QvI4(m_background);
    return {};
}

FlashAnswer CTestControl::PutBackgroundColor(QvI4 value)
{
    // -1: the movie's own colour.
    m_background = value == QV_COLOUR_MOVIE_OWN ? m_movie.background : uint32_t(value) & 0xFFFFFF;
    if (m_widget)
        gtk_widget_queue_draw(m_widget);
    return {};
}

FlashAnswer CTestControl::LoadMovie(QvI4, QvBstr path)
{
    Load(path);
    return {};
}

FlashAnswer CTestControl::PutSavedDataFolder(QvBstr folder)
{
    std::fprintf(stderr, "test control: saved data in %s\n", folder);
    return {};
}

// Like a control of the type library alone, this one cannot prepare ahead.
FlashAnswer CTestControl::PrepareEngine()
{
    return { QV_DISP_E_MEMBERNOTFOUND, "no such member" };
}

FlashAnswer CTestControl::PrepareMovie(QvBstr)
{
    return { QV_DISP_E_MEMBERNOTFOUND, "no such member" };
}

void CTestControl::Load(const std::string& url)
{
    std::string path = url;
    for (char& c : path) {
        if (c == '\\')
            c = '/';
    }
    StopClock();
    m_movie = {};
    m_frame = 0;
    m_started = false;
    m_loaded = ReadMovie(path, m_movie);
    if (!m_loaded)
        return;
    m_background = m_movie.background;
    m_playing = true;
    if (m_widget)
        gtk_widget_queue_draw(m_widget);
    StartClock();
}

void CTestControl::StartClock()
{
    guint interval = guint(1000.0 / m_movie.frameRate);
    m_clock = g_timeout_add(interval > 0 ? interval : 1, &CTestControl::OnTick, this);
}

void CTestControl::StopClock()
{
    if (m_clock)
        g_source_remove(m_clock);
    m_clock = 0;
}

gboolean CTestControl::OnTick(gpointer data)
{
    auto* self = static_cast<CTestControl*>(data);
    // The first tick shows frame 0; later ones move on while playing.
    if (!self->m_started) {
        self->m_started = true;
    } else if (self->m_playing) {
        self->m_frame = (self->m_frame + 1) % int(self->m_movie.frames.size());
    } else {
        return G_SOURCE_CONTINUE;
    }
    guint clock = self->m_clock;
    self->RunFrame();
    // An event handler may have loaded another movie or released us.
    return clock == self->m_clock ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

void CTestControl::RunFrame()
{
    std::vector<Action> actions = m_movie.frames[size_t(m_frame)];
    guint clock = m_clock;
    for (const Action& action : actions) {
        switch (action.code) {
        case 0x06:
            m_playing = true;
            break;
        case 0x07:
            m_playing = false;
            break;
        case 0x81:
            if (action.frame < int(m_movie.frames.size()))
                m_frame = action.frame;
            break;
        case 0x83:
            if (action.url.rfind("FSCommand:", 0) == 0 && m_sink) {
                std::string command = action.url.substr(10);
                QvVariant values[2]
                    = { { QV_VT_BSTR, 0, command.c_str() }, { QV_VT_BSTR, 0, action.target.c_str() } };
                m_sink(m_sinkContext, QV_DISPID_FSCOMMAND, values, 2);
                if (clock != m_clock)
                    return;
            }
            break;
        default:
            break;
        }
    }
}

} // namespace

extern "C" __attribute__((visibility("default"))) int32_t DllGetClassObject(
    const char* clsid, uint32_t abiVersion, QvControl** control)
{
    if (!control)
        return QV_E_NOINTERFACE;
    *control = nullptr;
    if (!clsid || std::strcmp(clsid, QV_FLASH_CLSID) != 0)
        return QV_CLASS_E_CLASSNOTAVAILABLE;
    if (abiVersion != QV_CONTROL_ABI_VERSION)
        return QV_E_NOINTERFACE;
    *control = new CTestControl;
    return 0;
}

extern "C" __attribute__((visibility("default"))) int32_t DllRegisterServer()
{
    Dl_info info {};
    char path[PATH_MAX];
    if (!dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) || !realpath(info.dli_fname, path))
        return -1;
    return platform::RegisterClassModule(*platform::CLSIDFromString(QV_FLASH_CLSID), path) ? 0 : -1;
}
