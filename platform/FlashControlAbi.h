/*
 * The Flash control's side of the control interface (platform/ControlAbi.h):
 * its class id, the members the player calls (listed in
 * platform/FlashControlMembers.def), the event it raises and the values with
 * a meaning of their own. The player's wrapper
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

/* The types of the members' values. */
typedef int32_t QvI4;
typedef const char* QvBstr;

/* Members, by dispatch id; their kinds, arguments and meaning are in
 * platform/FlashControlMembers.def. */
enum {
#define QV_FLASH_PROPERTY(name, id, number, type, access) id = number,
#define QV_FLASH_METHOD(name, id, number, params) id = number,
#include "platform/FlashControlMembers.def"
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
