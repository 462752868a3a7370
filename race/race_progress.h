#pragma once

#include <cstdint>

class CarObject;
struct PathNode;

// Each car's progress along the current world's path and the layout's route,
// run inside the car's tick: the follow point, the path follower, wrong-way
// counts, the path's timing nodes or the layout's timing lines and circles,
// the lap distance, lateral offset and lane, and the way back onto an open
// path's ends. The car holds the results that vehicle code reads.

// The per-tick entry (full: 0 in a light step, where the follow point is
// reset rather than moved and no node learning runs).
void UpdateRaceProgress(CarObject &car, float dt, int full);

// The layout's circles: restricted areas and ordered checkpoints.
void CheckCircleZones(CarObject &car);
// The layout's timing line expected next (16.16 arithmetic).
void CheckLapLines(CarObject &car);
// Puts a car that ran beyond the end of an open path back on node `node`.
void ReturnToPathEnd(CarObject &car, const PathNode &node);
// The heading (radians) of a car placed `offset` metres right of the node's
// centre: along the path on the centre line, turned towards the road by up
// to a quarter turn at the inner edge and up to half a turn at the outer.
float HeadingAtOffset(const PathNode &node, float offset);

// Blends the band the car drives into the node it has just reached: the
// node's three driving lines take the band's left edge, centre and right
// edge as offsets and the front, total and rear grip in use as weights, at
// the rate "Rubber Lay " sets. Nothing more than twice the half width
// outside the outer edges; a wheel without grip available adds nothing,
// and a value that is not a number is not blended.
void UpdatePathLearning(CarObject &car, PathNode &node);

// A route error of the car: 2 wrong route, 3 restricted area. The interface
// sound; in a lesson the lesson's hook and nothing sent; else a 45 s time
// penalty, and online the car event too.
void ReportRouteError(CarObject &car, int reason);
// The car event {17, 9, id, reason}, sent at once (nothing without a slot).
void SendCarEvent(CarObject &car, int reason);

// What race progress asks of layers above it. Empty entries: no lesson
// hook, no view mode.
struct RaceProgressLinks {
    // A running lesson fails with a wrong route.
    void (*lessonFailWrongRoute)();
    // 1 when the user looks through a view mode (the camera delay applies).
    int (*viewModeSet)();
};
extern RaceProgressLinks ProgressLinks;

// Registers race progress and its senders with the car's services.
void InstallRaceProgress();
