// The movie authoring library's encodings: action byte code and the tags the
// end-to-end movies are built from, byte for byte where the engine is strict.

#include "tools/swf/MovieWriter.h"
#include "tools/swf/Sound.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using Bytes = std::vector<BYTE>;

struct Tag {
    WORD code { 0 };
    Bytes payload {};
};

// The tags of a timeline, short or long headers.
std::vector<Tag> TagsOf(const CTimeline& timeline)
{
    const Bytes& bytes = timeline.Tags();
    std::vector<Tag> tags;
    std::size_t at = 0;
    while (at + 2 <= bytes.size()) {
        WORD header = WORD(bytes[at] | bytes[at + 1] << 8);
        at += 2;
        std::size_t length = header & 0x3F;
        if (length == 0x3F) {
            length = std::size_t(bytes[at]) | std::size_t(bytes[at + 1]) << 8
                | std::size_t(bytes[at + 2]) << 16 | std::size_t(bytes[at + 3]) << 24;
            at += 4;
        }
        tags.push_back({ WORD(header >> 6),
            Bytes(bytes.begin() + std::ptrdiff_t(at), bytes.begin() + std::ptrdiff_t(at + length)) });
        at += length;
    }
    EXPECT_EQ(at, bytes.size());
    return tags;
}

Tag OnlyTag(const CTimeline& timeline)
{
    std::vector<Tag> tags = TagsOf(timeline);
    EXPECT_EQ(tags.size(), 1u);
    return tags.empty() ? Tag {} : tags.front();
}

CMovieWriter Movie()
{
    return CMovieWriter(SwfRect::FromPixels(100, 100), 12);
}

} // namespace

TEST(ActionList, BranchesResolveForwardAndBackwardFromTheEndOfTheBranch)
{
    CActionList actions;
    actions.Label("top").Push(true).If("end").Jump("top").Label("end").Stop();
    Bytes expected {
        0x96, 0x02, 0x00, 0x05, 0x01, // push true, bytes 0-4
        0x9D, 0x02, 0x00, 0x05, 0x00, // if: ends at 10, "end" is at 15
        0x99, 0x02, 0x00, 0xF1, 0xFF, // jump: ends at 15, "top" is at 0
        0x07, 0x00, // stop, end
    };
    EXPECT_EQ(actions.Encode(), expected);
}

TEST(ActionList, UnplacedDuplicateAndOuterLabelsAreErrors)
{
    EXPECT_THROW(CActionList().Jump("nowhere").Encode(), std::logic_error);
    EXPECT_THROW(CActionList().Label("a").Label("a"), std::logic_error);
    // A function body's labels are its own: the body resolves, the outer list does not see them.
    CActionList body;
    body.Jump("inner").Label("inner");
    CActionList outer;
    outer.DefineFunction("f", {}, body).Jump("inner");
    EXPECT_THROW(outer.Encode(), std::logic_error);
}

TEST(ActionList, PushEncodesEachTypeInOneAction)
{
    CActionList actions;
    actions.Push("ab", -1, 1.5, false, ActionValue::Null {}, ActionValue::Undefined {});
    // The double 0x3FF8000000000000 goes high word first, each word little-endian.
    Bytes expected { 0x96, 0x16, 0x00, // 22 bytes of values
        0x00, 'a', 'b', 0x00, // string
        0x07, 0xFF, 0xFF, 0xFF, 0xFF, // integer
        0x06, 0x00, 0x00, 0xF8, 0x3F, 0x00, 0x00, 0x00, 0x00, // double
        0x05, 0x00, // boolean
        0x02, // null
        0x03, // undefined
        0x00 };
    EXPECT_EQ(actions.Encode(), expected);
    EXPECT_THROW(CActionList().Push(std::string("a\0b", 3)), std::invalid_argument);
}

TEST(ActionList, LoadFormsCarryTheirGetUrl2Flags)
{
    auto flagsOf = [](const CActionList& actions) {
        Bytes bytes = actions.Encode();
        // ... 0x9A 0x01 0x00 flags, end
        EXPECT_EQ(bytes[bytes.size() - 5], 0x9A);
        return bytes[bytes.size() - 2];
    };
    EXPECT_EQ(flagsOf(CActionList().LoadMovieNum("b.swf", 1)), 0x00);
    EXPECT_EQ(flagsOf(CActionList().LoadMovie("c.swf", "_root.box")), 0x40);
    EXPECT_EQ(flagsOf(CActionList().LoadVariablesNum("data.txt", 0)), 0x80);
    EXPECT_EQ(flagsOf(CActionList().LoadVariables("data.txt", "_root.box")), 0xC0);

    Bytes expected { 0x96, 0x10, 0x00, 0x00, 'b', '.', 's', 'w', 'f', 0x00, 0x00, '_', 'l', 'e', 'v', 'e',
        'l', '2', 0x00, 0x9A, 0x01, 0x00, 0x00, 0x00 };
    EXPECT_EQ(CActionList().LoadMovieNum("b.swf", 2).Encode(), expected);
}

TEST(ActionList, CallsPushTheLastArgumentFirstAndFunctionsFollowTheirHeader)
{
    Bytes call = CActionList().CallMethodOn("o", "m", { 1, "x" }).Encode();
    Bytes expectedCall { 0x96, 0x0D, 0x00, 0x00, 'x', 0x00, 0x07, 1, 0, 0, 0, 0x07, 2, 0, 0,
        0, // "x", 1, count 2
        0x96, 0x03, 0x00, 0x00, 'o', 0x00, 0x1C, // get variable o
        0x96, 0x03, 0x00, 0x00, 'm', 0x00, 0x52, // "m", call method
        0x00 };
    EXPECT_EQ(call, expectedCall);

    // The action's length covers name to body size; the body follows, without an end marker.
    Bytes function = CActionList().DefineFunction("f", { "a" }, CActionList().Stop()).Encode();
    Bytes expectedFunction { 0x9B, 0x08, 0x00, 'f', 0x00, 0x01, 0x00, 'a', 0x00, 0x01, 0x00, 0x07, 0x00 };
    EXPECT_EQ(function, expectedFunction);
}

TEST(MovieWriter, DeviceFontAndTextFieldLayout)
{
    CMovieWriter font = Movie();
    font.DefineFont2(3, "_sans");
    Tag fontTag = OnlyTag(font);
    EXPECT_EQ(fontTag.code, 48);
    // Id, 16-bit codes, no language, name length and name, no glyphs, code table offset.
    Bytes expectedFont { 0x03, 0x00, 0x04, 0x00, 0x05, '_', 's', 'a', 'n', 's', 0x00, 0x00, 0x02, 0x00 };
    EXPECT_EQ(fontTag.payload, expectedFont);

    CMovieWriter text = Movie();
    SwfEditText field;
    field.bounds = { 0, 0, 0, 0 };
    field.fontId = 3;
    field.fontHeight = 400;
    field.colour = SwfRgba::FromHex(0x112233, 0x80);
    field.text = "Hi";
    text.DefineEditText(9, field);
    Tag textTag = OnlyTag(text);
    EXPECT_EQ(textTag.code, 37);
    Bytes expectedText { 0x09, 0x00, // id
        0x08, 0x00, // bounds: 1-bit fields of 0
        0x8D, 0x10, // has text, read-only, has colour, has font; no select
        0x03, 0x00, 0x90, 0x01, // font 3, 400 twips
        0x11, 0x22, 0x33, 0x80, // colour
        0x00, // no variable
        'H', 'i', 0x00 };
    EXPECT_EQ(textTag.payload, expectedText);
}

TEST(MovieWriter, ButtonRunsItsActionsOnRelease)
{
    CMovieWriter movie = Movie();
    movie.DefineButton2(
        4, { { .character = 1, .depth = 1, .states = ButtonUp | ButtonHit } }, CActionList().Stop());
    Tag tag = OnlyTag(movie);
    EXPECT_EQ(tag.code, 34);
    Bytes expected { 0x04, 0x00, 0x00, // id, not a menu
        0x0A, 0x00, // the action record 10 bytes after this field
        0x09, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, // up + hit, character 1, depth 1, matrix, colour transform
        0x00, // end of characters
        0x00, 0x00, 0x08, 0x00, // the last record; over-down to over-up
        0x07, 0x00 };
    EXPECT_EQ(tag.payload, expected);
}

TEST(MovieWriter, NamedPlacementAndSpriteTimeline)
{
    CTimeline clip;
    clip.PlaceObject(1, 2, {}, "box");
    clip.ShowFrame();
    clip.ShowFrame();
    CMovieWriter movie = Movie();
    movie.DefineSprite(7, clip);
    Tag sprite = OnlyTag(movie);
    EXPECT_EQ(sprite.code, 39);
    Bytes expected {
        0x07, 0x00, 0x02, 0x00, // id, two frames
        0x8A, 0x06, 0x26, 0x01, 0x00, 0x02, 0x00, 0x00, 'b', 'o', 'x', 0x00, // PlaceObject2 with a name
        0x40, 0x00, 0x40, 0x00, // two ShowFrame
        0x00, 0x00, // End
    };
    EXPECT_EQ(sprite.payload, expected);
}

TEST(MovieWriter, SoundsCountSamplesPerChannel)
{
    std::vector<std::int16_t> tone = MakeTone(Waveform::Square, 1000, 0.1, 5512, 1.0);
    ASSERT_EQ(tone.size(), 551u); // 551.2 rounded
    EXPECT_EQ(tone[0], 32767);
    EXPECT_EQ(tone[3], -32767); // past the half period of 2.756 samples
    EXPECT_EQ(MakeTone(Waveform::Sine, 440, 1, 44100).size(), 44100u);

    CMovieWriter movie = Movie();
    movie.DefineSound(1, 22050, true, { 1, -2, 3, -4 });
    movie.StartSound(1, 3);
    movie.SoundStreamHead2(11025, false, 918);
    movie.SoundStreamBlock({ 0x1234 });
    std::vector<Tag> tags = TagsOf(movie);
    ASSERT_EQ(tags.size(), 4u);
    Bytes sound { 0x01, 0x00, 0x3B, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0xFE, 0xFF, 0x03, 0x00, 0xFC, 0xFF };
    EXPECT_EQ(tags[0].code, 14);
    EXPECT_EQ(tags[0].payload, sound); // format 3, 22050 Hz, 16-bit, stereo: 2 sample pairs
    EXPECT_EQ(tags[1].code, 15);
    EXPECT_EQ(tags[1].payload, (Bytes { 0x01, 0x00, 0x04, 0x03, 0x00 }));
    EXPECT_EQ(tags[2].code, 45);
    EXPECT_EQ(tags[2].payload, (Bytes { 0x06, 0x36, 0x96, 0x03 }));
    EXPECT_EQ(tags[3].code, 19);
    EXPECT_EQ(tags[3].payload, (Bytes { 0x34, 0x12 }));
    EXPECT_THROW(movie.DefineSound(2, 8000, false, tone), std::invalid_argument);
}
