#pragma once
// Seek-bar arithmetic in the media graph's units (100 ns), kept free of
// widgets so it can be checked on its own.

#include <QtGlobal>

constexpr qint64 UnitsPerMs = 10000; // 100-ns units in one millisecond

constexpr qint64 MsToUnits(qint64 ms) { return ms * UnitsPerMs; }
constexpr qint64 UnitsToMs(qint64 units) { return units / UnitsPerMs; }

// Whole seconds the seek bar shows for a time in milliseconds (truncated).
constexpr int WholeSeconds(qint64 ms) { return int(ms / 1000); }

// The position a released seek bar asks for: stop × position ÷ maximum, in
// 100-ns units with 64-bit integers. -1 when there is nothing to seek
// (maximum 0, or a negative input).
qint64 SeekTargetUnits(qint64 stopUnits, int position, int maximum);

// The same for milliseconds: stop converted to 100-ns units, the target
// computed there and converted back. -1 when there is nothing to seek.
qint64 SeekTargetMs(qint64 stopMs, int position, int maximum);
