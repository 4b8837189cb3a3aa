/*
 * The Flash control's side of the control interface (platform/ControlAbi.h):
 * its class id, the members the player calls, the event it raises and the
 * values with a meaning of their own. The player's wrapper
 * (player/ShockwaveFlash.h), our control (control/) and every stand-in
 * control of the tests take these from here; the two sides meet only
 * through dlopen, so nothing else would catch a mismatch before run time.
 */
#pragma once

#include "platform/ControlAbi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The class, in the text form DllGetClassObject and the class registry use. */
#define QV_FLASH_CLSID "{D27CDB6E-AE6D-11CF-96B8-444553540000}"

/* FlashVersion's answer of the control the player wants: major version 8 in
 * the upper 16 bits (the lower ones, the minor version, do not matter). */
#define QV_FLASH_MAJOR_VERSION 8
#define QV_FLASH_VERSION (QV_FLASH_MAJOR_VERSION << 16)

/* Members, by dispatch id, with their kinds and arguments. */
enum {
    /* FrameNum (property get, I4): the frame shown, counted from 0. */
    QV_DISPID_FRAME_NUM = 0x6B,
    /* Play, Stop (methods, no arguments). */
    QV_DISPID_PLAY = 0x70,
    QV_DISPID_STOP = 0x71,
    /* ScaleMode (property put/get, I4): 0 show all, 1 no border, 2 exact
     * fit, 3 no scale. */
    QV_DISPID_SCALE_MODE = 0x78,
    /* BackgroundColor (property put/get, I4): 0xRRGGBB or
     * QV_COLOUR_MOVIE_OWN. */
    QV_DISPID_BACKGROUND_COLOR = 0x7B,
    /* LoadMovie (method; I4 layer, BSTR path of the movie's file). */
    QV_DISPID_LOAD_MOVIE = 0x8E,
    /* SavedDataFolder (property put, BSTR), our control's own member beyond
     * the ones its type library publishes: the folder in which the control
     * keeps what movies save (local shared objects) across runs, one folder
     * per package. Set before the first LoadMovie; without it nothing a movie
     * saves outlives the control. A control that does not know it answers
     * QV_DISP_E_MEMBERNOTFOUND. */
    QV_DISPID_SAVED_DATA_FOLDER = 0x4001,
    /* PrepareEngine (method, no arguments), our control's own too: starts
     * the movie engine at once, out of sight, for the next control of this
     * class the process makes; the object it is called on need not live on.
     * A container that knows it will show a movie calls it before it
     * unpacks, so the engine is ready when LoadMovie comes. Nothing shows
     * and nothing else changes; an engine that cannot start is dropped
     * without a word and the next control starts its own as usual. A
     * control that does not know it answers QV_DISP_E_MEMBERNOTFOUND. */
    QV_DISPID_PREPARE_ENGINE = 0x4002,
};

/* Events, by dispatch id. FSCommand: two strings, the command and its
 * argument, as the movie gave them. */
enum {
    QV_DISPID_FSCOMMAND = 150,
};

/* BackgroundColor -1: the movie's own colour (no override). FrameNum -1:
 * the control cannot count this movie's frames (it plays all the same). */
#define QV_COLOUR_MOVIE_OWN (-1)
#define QV_FRAME_UNCOUNTED (-1)

#ifdef __cplusplus
}
#endif
