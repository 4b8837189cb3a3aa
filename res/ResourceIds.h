#pragma once

// Identifiers of the player's resources and commands.
constexpr int IDR_MAINFRAME = 128; // icon group
constexpr int IDD_PLAYER_DIALOG = 102;
constexpr int IDR_RIGHT_MENU = 133;
constexpr int IDS_TITLE = 1;

constexpr int ID_FULLSCREEN = 0x8003;
constexpr int ID_QUIT = 0x8004;
constexpr int ID_STOP = 0x8005;
constexpr int ID_PLAY = 0x8006;
constexpr int ID_ALWAYS_ON_TOP = 0x8007;
constexpr int ID_MINIMIZE_WINDOW = 0x8008;
