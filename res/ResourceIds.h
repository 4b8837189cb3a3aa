#pragma once

// Identifiers of the player's resources and commands.
constexpr int IDR_MAINFRAME = 128; // icon group
constexpr int IDD_PLAYER_DIALOG = 102;
constexpr int IDR_RIGHT_MENU = 133;
constexpr int IDS_TITLE = 1;

// The resources quorvel-pack appends to a copy of the player, named by a
// string type and an integer id: the package (a ZIP archive), and the Flash
// control's module, written out as flash8.ocx when the installed control is
// not version 8.
constexpr const char* RT_PACKAGE = "ZIP";
constexpr int IDR_PACKAGE = 129;
constexpr const char* RT_FLASH_CONTROL = "OCX";
constexpr int IDR_FLASH_CONTROL = 1091;

constexpr int ID_FULLSCREEN = 0x8003;
constexpr int ID_QUIT = 0x8004;
constexpr int ID_STOP = 0x8005;
constexpr int ID_PLAY = 0x8006;
constexpr int ID_ALWAYS_ON_TOP = 0x8007;
constexpr int ID_MINIMIZE_WINDOW = 0x8008;
