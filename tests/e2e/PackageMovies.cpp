// The movies of the end-to-end tests of real packages: siblings, data files,
// links, keys, sound, saved data and device text. Each shows what it found
// as colours: red where something is still missing, green once it is there,
// in 80 x 80 squares at (10, 10), (210, 10), (10, 160) and (210, 160) of a
// 400 x 300 stage.
//   shell.swf      loads part2.swf into level 1 (square 1), chapters/part3.swf
//                  into the clip _root.box (square 2), reads the variables of
//                  data.txt?nocache=1 (square 3: colour=green) and the XML of
//                  data.xml (square 4: <d colour="green"/>)
//   part2.swf, part3.swf   a green square at (10, 10) and nothing else
//   links.swf      opens links of each kind, one every six frames; a button over the
//                  lower half opens one more; a bar moves along the top,
//                  and the movie loops over the frames after the links
//   keys.swf       square 1 is green while the key A is held
//   stream.swf     a streaming 440 Hz tone; square 1 steps through red,
//                  green and blue, half a second each, as the sound plays
//   counter.swf    counts its runs in the shared object "progress", which it
//                  never flushes (square 1 green from the second run on), and
//                  quits in its second run
//   lingers.swf    a blue square 1 over twelve frames that loop; it saves
//                  "seen" in the shared object "lingers" (never flushed) and
//                  starts an interval that, counting from its first loop,
//                  quits the player after two seconds: a player that moved
//                  on from it must never hear it
//   cjk_sans.swf, cjk_named.swf   "中文字体测试" in black, 40 pixels high, in
//                  a device-font field at (20, 100) on white, in "_sans" and
//                  in "宋体"
//   latin_sans.swf the same field with "Latin text"

#include "tests/e2e/TestMovies.h"

#include "tools/swf/EditText.h"
#include "tools/swf/Sound.h"

namespace {

constexpr int Width = 400;
constexpr int Height = 300;
constexpr std::int32_t Twips = 20;

constexpr SwfRgb Red = SwfRgb::FromHex(0xC02020);
constexpr SwfRgb Green = SwfRgb::FromHex(0x20C020);
constexpr SwfRgb Blue = SwfRgb::FromHex(0x2020C0);
constexpr SwfRgb Stage = SwfRgb::FromHex(0x202020);

CShape Square(SwfRgb colour, int size = 80)
{
    CShape shape(colour);
    shape.AddRectangle(0, 0, size * Twips, size * Twips);
    return shape;
}

SwfMatrix At(int x, int y)
{
    return SwfMatrix::Translate(x * Twips, y * Twips);
}

// Square `number` (1 to 4) of the stage.
SwfMatrix SquareAt(int number)
{
    return At(number % 2 ? 10 : 210, number <= 2 ? 10 : 160);
}

// A clip that shows red in its frame 1 and green in its frame 2, stopped in
// either; scripts switch it with gotoAndStop.
CTimeline Indicator(WORD red, WORD green)
{
    CTimeline clip;
    clip.PlaceObject(1, red);
    clip.DoAction(CActionList().Stop());
    clip.ShowFrame();
    clip.RemoveObject(1);
    clip.PlaceObject(1, green);
    clip.DoAction(CActionList().Stop());
    clip.ShowFrame();
    return clip;
}

// Defines the two squares (ids 1 and 2) and the indicator clip (id 3).
void DefineIndicator(CMovieWriter& writer)
{
    writer.DefineShape(1, Square(Red));
    writer.DefineShape(2, Square(Green));
    writer.DefineSprite(3, Indicator(1, 2));
}

// if (condition on the stack) clip.gotoAndStop(2)
CActionList& ShowGreenIf(CActionList& actions, const std::string& clip, const std::string& label)
{
    actions.Not().If(label);
    actions.CallMethodOn(clip, "gotoAndStop", { std::int32_t(2) }).Pop();
    actions.Label(label);
    return actions;
}

void WriteSiblings(const std::string& folder)
{
    for (const char* name : { "part2.swf", "part3.swf" }) {
        CMovieWriter part(SwfRect::FromPixels(Width, Height), 12.0);
        part.SetBackgroundColor(Blue);
        part.DefineShape(1, Square(Green));
        part.PlaceObject(1, 1, At(10, 10));
        part.DoAction(CActionList().Stop());
        part.ShowFrame();
        WriteMovie(folder + "/" + name, part);
    }

    CMovieWriter shell(SwfRect::FromPixels(Width, Height), 12.0);
    shell.SetBackgroundColor(Stage);
    DefineIndicator(shell);
    shell.DefineSprite(4, CTimeline());
    shell.PlaceObject(1, 4, At(200, 0), "box");
    shell.PlaceObject(2, 3, SquareAt(3), "text");
    shell.PlaceObject(3, 3, SquareAt(4), "xmlmark");
    CActionList loads;
    loads.LoadMovieNum("part2.swf", 1);
    loads.LoadMovie("chapters/part3.swf", "_root.box");
    loads.LoadVariablesNum("data.txt?nocache=1", 0);
    loads.Push("xml", std::int32_t(0), "XML").NewObject().SetVariable();
    loads.CallMethodOn("xml", "load", { "data.xml" }).Pop();
    shell.DoAction(loads);
    shell.ShowFrame();

    CActionList checks;
    checks.Push("colour").GetVariable().Push("green").StringEquals();
    ShowGreenIf(checks, "text", "text-done");
    checks.Push("xml").GetVariable().Push("firstChild").GetMember().Push("attributes").GetMember();
    checks.Push("colour").GetMember().Push("green").StringEquals();
    ShowGreenIf(checks, "xmlmark", "xml-done");
    shell.DoAction(checks);
    shell.ShowFrame();
    shell.DoAction(CActionList().GotoFrame(1).Play());
    shell.ShowFrame();
    WriteMovie(folder + "/shell.swf", shell);
}

void WriteLinks(const std::string& folder)
{
    CMovieWriter links(SwfRect::FromPixels(Width, Height), 12.0);
    links.SetBackgroundColor(Stage);
    // A bar as wide as the stage's left half, so that it covers (230, 40)
    // for half of each loop and leaves it for the other half.
    CShape bar(Green);
    bar.AddRectangle(0, 0, 160 * Twips, 40 * Twips);
    links.DefineShape(1, bar);
    CShape lower(Blue);
    lower.AddRectangle(0, 0, Width * Twips, Height / 2 * Twips);
    links.DefineShape(2, lower);
    links.DefineButton2(3, { SwfButtonRecord { 2, 1, ButtonAllStates, {} } },
        CActionList().GetUrl("https://example.invalid/button", "_blank"));
    links.PlaceObject(2, 3, At(0, Height / 2));
    // One link every six frames: a navigation of the page that is still
    // pending when the next one starts is dropped, in a browser as here.
    const std::pair<const char*, const char*> opened[] = {
        { "http://example.invalid/blank", "_blank" },
        { "mailto:someone@example.invalid", "" },
        { "http://example.invalid/none", "" },
        { "https://example.invalid/self", "_self" },
        { "help.html", "_blank" },
        { "javascript:document.body.remove()", "" },
        { "file:///etc/passwd", "_blank" },
    };
    for (const auto& [url, target] : opened) {
        links.DoAction(CActionList().GetUrl(url, target));
        for (int wait = 0; wait < 6; ++wait)
            links.ShowFrame();
    }
    links.PlaceObject(1, 1, At(0, 20));
    const WORD Loop = links.GetFramesShown();
    int step = 0;
    for (; step < 12; ++step) {
        links.MoveObject(1, At(step * 30, 20));
        if (step == 11)
            links.DoAction(CActionList().GotoFrame(Loop).Play());
        links.ShowFrame();
    }
    WriteMovie(folder + "/links.swf", links);
}

void WriteKeys(const std::string& folder)
{
    CMovieWriter keys(SwfRect::FromPixels(Width, Height), 12.0);
    keys.SetBackgroundColor(Stage);
    DefineIndicator(keys);
    keys.PlaceObject(1, 3, SquareAt(1), "held");
    keys.ShowFrame();
    CActionList check;
    check.CallMethodOn("Key", "isDown", { std::int32_t(65) }).Not().If("up");
    check.CallMethodOn("held", "gotoAndStop", { std::int32_t(2) }).Pop().Jump("done");
    check.Label("up").CallMethodOn("held", "gotoAndStop", { std::int32_t(1) }).Pop();
    check.Label("done");
    keys.DoAction(check);
    keys.ShowFrame();
    keys.DoAction(CActionList().GotoFrame(1).Play());
    keys.ShowFrame();
    WriteMovie(folder + "/keys.swf", keys);
}

void WriteStream(const std::string& folder)
{
    constexpr int Rate = 22050;
    constexpr double Fps = 10.0;
    constexpr WORD PerFrame = WORD(Rate / Fps);
    CMovieWriter stream(SwfRect::FromPixels(Width, Height), Fps);
    stream.SetBackgroundColor(Stage);
    stream.DefineShape(1, Square(Red));
    stream.DefineShape(2, Square(Green));
    stream.DefineShape(3, Square(Blue));
    stream.SoundStreamHead2(Rate, false, PerFrame);
    std::vector<std::int16_t> tone = MakeTone(Waveform::Sine, 440.0, 1.0, Rate, 0.5);
    for (int frame = 0; frame < 30; ++frame) {
        std::vector<std::int16_t> block(
            tone.begin() + (frame % 10) * PerFrame, tone.begin() + (frame % 10 + 1) * PerFrame);
        stream.SoundStreamBlock(block);
        // Each colour for five frames, half a second: long enough to be seen.
        if (frame % 5 == 0) {
            if (frame > 0)
                stream.RemoveObject(1);
            stream.PlaceObject(1, WORD(1 + frame / 5 % 3), SquareAt(1));
        }
        stream.ShowFrame();
    }
    WriteMovie(folder + "/stream.swf", stream);
}

void WriteCounter(const std::string& folder)
{
    CMovieWriter counter(SwfRect::FromPixels(Width, Height), 12.0);
    counter.SetBackgroundColor(Stage);
    DefineIndicator(counter);
    counter.PlaceObject(1, 3, SquareAt(1), "again");
    CActionList count;
    // so = SharedObject.getLocal("progress");
    count.Push("so").CallMethodOn("SharedObject", "getLocal", { "progress" }).SetVariable();
    // if (so.data.runs == undefined) so.data.runs = 0;
    count.Push("so").GetVariable().Push("data").GetMember().Push("runs").GetMember();
    count.Push(ActionValue::Undefined {}).Equals2().Not().If("counted");
    count.Push("so").GetVariable().Push("data").GetMember().Push("runs", std::int32_t(0)).SetMember();
    count.Label("counted");
    // so.data.runs = so.data.runs + 1; without flush(): the engine writes
    // what a movie saved when the movie goes, as at the end of a run.
    count.Push("so").GetVariable().Push("data").GetMember().Push("runs");
    count.Push("so").GetVariable().Push("data").GetMember().Push("runs").GetMember();
    count.Push(std::int32_t(1)).Add2().SetMember();
    // if (so.data.runs >= 2) { again.gotoAndStop(2); fscommand("quit"); }
    count.Push("so").GetVariable().Push("data").GetMember().Push("runs").GetMember();
    count.Push(std::int32_t(2)).Less2().If("first");
    count.CallMethodOn("again", "gotoAndStop", { std::int32_t(2) }).Pop();
    count.FsCommand("quit", "");
    count.Label("first");
    count.Stop();
    counter.DoAction(count);
    counter.ShowFrame();
    WriteMovie(folder + "/counter.swf", counter);
}

void WriteLingers(const std::string& folder)
{
    CMovieWriter movie(SwfRect::FromPixels(Width, Height), 12.0);
    movie.SetBackgroundColor(Stage);
    movie.DefineShape(1, Square(Blue));
    movie.PlaceObject(1, 1, SquareAt(1));
    CActionList start;
    // if (_root.started == undefined) { ... } else _root.looped = true;
    start.Push("_root.started").GetVariable().Push(ActionValue::Undefined {}).Equals2().Not().If("again");
    start.SetVariableTo("_root.started", true).SetVariableTo("_root.ticks", std::int32_t(0));
    // SharedObject.getLocal("lingers").data.seen = 1;
    start.Push("so").CallMethodOn("SharedObject", "getLocal", { "lingers" }).SetVariable();
    start.Push("so").GetVariable().Push("data").GetMember().Push("seen", std::int32_t(1)).SetMember();
    // setInterval(function () { if (_root.looped && ++_root.ticks >= 20) fscommand("quit"); }, 100);
    CActionList tick;
    tick.Push("_root.looped").GetVariable().Not().If("waiting");
    tick.Push("_root.ticks").Push("_root.ticks").GetVariable().Push(std::int32_t(1)).Add2().SetVariable();
    tick.Push("_root.ticks").GetVariable().Push(std::int32_t(20)).Less2().If("waiting");
    tick.FsCommand("quit", "");
    tick.Label("waiting");
    start.Push(std::int32_t(100))
        .DefineFunction("", {}, tick)
        .Push(std::int32_t(2), "setInterval")
        .CallFunction()
        .Pop();
    start.Jump("end");
    start.Label("again");
    start.SetVariableTo("_root.looped", true);
    start.Label("end");
    movie.DoAction(start);
    for (int frame = 0; frame < 12; ++frame)
        movie.ShowFrame();
    WriteMovie(folder + "/lingers.swf", movie);
}

void WriteDeviceText(const std::string& path, const std::string& font, const std::string& text)
{
    CMovieWriter movie(SwfRect::FromPixels(Width, Height), 12.0);
    movie.SetBackgroundColor(SwfRgb::FromHex(0xFFFFFF));
    movie.DefineFont2(1, font);
    SwfEditText field;
    field.bounds = { 0, 360 * Twips, 0, 60 * Twips };
    field.fontId = 1;
    field.fontHeight = WORD(40 * Twips);
    field.colour = SwfRgba::FromHex(0x000000);
    field.text = text;
    movie.DefineEditText(2, field);
    movie.PlaceObject(1, 2, At(20, 100));
    movie.DoAction(CActionList().Stop());
    movie.ShowFrame();
    WriteMovie(path, movie);
}

} // namespace

void WritePackageMovies(const std::string& folder)
{
    WriteSiblings(folder);
    WriteLinks(folder);
    WriteKeys(folder);
    WriteStream(folder);
    WriteCounter(folder);
    WriteLingers(folder);
    WriteDeviceText(folder + "/cjk_sans.swf", "_sans", "中文字体测试");
    WriteDeviceText(folder + "/cjk_named.swf", "宋体", "中文字体测试");
    WriteDeviceText(folder + "/latin_sans.swf", "_sans", "Latin text");
}
