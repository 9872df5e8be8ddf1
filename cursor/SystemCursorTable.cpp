#include "cursor/SystemCursors.h"

const SystemCursorSpec kSystemCursorSpecs[kSystemCursorCount] = {
    {32512, MAKEINTRESOURCEW(32512), true, FALSE},   // arrow
    {32513, MAKEINTRESOURCEW(32513), false, TRUE},   // I-beam
    {32514, MAKEINTRESOURCEW(32514), false, TRUE},   // busy
    {32515, MAKEINTRESOURCEW(32515), false, TRUE},   // cross
    {32516, MAKEINTRESOURCEW(32516), true, FALSE},   // up arrow
    {32642, MAKEINTRESOURCEW(32642), false, TRUE},   // size NW-SE
    {32643, MAKEINTRESOURCEW(32643), false, TRUE},   // size NE-SW
    {32644, MAKEINTRESOURCEW(32644), false, TRUE},   // size W-E
    {32645, MAKEINTRESOURCEW(32645), false, TRUE},   // size N-S
    {32646, MAKEINTRESOURCEW(32646), false, TRUE},   // size all
    {32648, MAKEINTRESOURCEW(32648), false, TRUE},   // unavailable
    {32649, MAKEINTRESOURCEW(32649), true, TRUE},    // hand: mirrored, badge stays right
    {32650, MAKEINTRESOURCEW(32650), true, FALSE},   // working in background
    {32651, MAKEINTRESOURCEW(32651), true, FALSE},   // help
    {32671, MAKEINTRESOURCEW(32671), false, TRUE},   // pin
    {32672, MAKEINTRESOURCEW(32672), false, TRUE},   // person
};
