#pragma once

// Keyboard steering files, data\misc\<name>.kbs: the eight settings that
// shape steering, throttle and brake from keys, saved under a name so that a
// user can keep several keyboard set-ups ("savekb" and "loadkb").
//
// Binary data file "KZVKBS", version 0 only; after the header eight f32 in
// this order: "Thr Brk Rate ", "KB Steer Rate ", "KB Return Rate ",
// "KB Fast Mul ", "KB Slow Mul ", "KB Limit Mul ",
// "Speed Steer Reduction KB ", "Half Reduce Speed m/s KB ".

// Writes the file. Returns 1, or 0 when it could not be written or the name
// is not a plain file name (empty, or holding a character such as / or \).
int WriteKeyboardSteerFile(const char *name);
// Reads the file into the eight settings, each clamped to its cfg.txt range
// (NaN gives the minimum). Returns 0, with the settings unchanged, for a
// file that is missing, not version 0, truncated, or a name that is not a
// plain file name; else 1.
int ReadKeyboardSteerFile(const char *name);
