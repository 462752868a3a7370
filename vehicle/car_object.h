#pragma once

#include <cstdint>
#include <limits>

#include "core/motion_profile.h"
#include "render/light_maps.h"
#include "render/object_file.h"
#include "vehicle/car_sound_state.h"
#include "vehicle/aero_surface.h"
#include "vehicle/car_colours.h"
#include "vehicle/car_data_file.h"
#include "vehicle/car_engine.h"
#include "vehicle/car_rods.h"
#include "vehicle/car_setup.h"
#include "vehicle/car_state_record.h"
#include "vehicle/car_wheel.h"
#include "vehicle/rigid_body.h"
#include "vehicle/rim_data.h"

class WorldObject;
class CarCurve;
class CarObject;
class PathFollower;
class ZoneObject;
struct ModelNode;
struct RenderObject;
struct Material;
struct DriverClip;
struct PlayerSlot;

// The car's helmet skin: the texture of the driver's helmet made from the
// player's choice. Until the scene builds helmets it holds only the handle.
struct HelmetSkin {
    uint32_t texture = 0;
    uint32_t stamp = 0;
};


// A path node as the car sees it: position (16.16), unit direction and the
// road edges (metres of lateral offset, left negative).
struct PathNodePlace {
    int32_t position[3];
    float direction[3];
    float leftEdge;
    float rightEdge;
};

// What the car asks of layers above the vehicle library: they register the
// entries at start-up. An empty entry makes nothing (null) or does nothing,
// and the car tests every such pointer for null before using it.
struct CarObjectServices {
    // The path follower of a car (world side).
    PathFollower *(*createPathFollower)(CarObject *car);
    void (*deletePathFollower)(PathFollower *follower);
    // The path node a follower is at, -1 unknown (empty: always unknown).
    int32_t (*pathFollowerNode)(const PathFollower *follower);
    // The model node of one level of detail (scene side).
    ModelNode *(*createModelNode)();
    void (*deleteModelNode)(ModelNode *node);
    // Driver clips (scene side): 1 while the human figures are loaded; the
    // release of a clip instance.
    int (*humanFiguresLoaded)();
    void (*freeDriverClip)(DriverClip *clip);
    // Number plates (scene side): a slot for 8 bytes of plate text (-1 none)
    // and its release.
    int (*getNumberPlate)(const char text[8]);
    void (*releaseNumberPlate)(int slot);
    // Driver figures (scene side): the number of animation sets, the set of
    // a passenger for the inverted lower bit of its seat's pair, and a clip
    // of a set (the steering clip is stored in the car and null returned).
    int (*animationSetCount)();
    int (*passengerAnimationSet)(int invertedLowerBit);
    DriverClip *(*loadDriverClip)(CarObject *car, int set, const char *name, int steering);
    // Engine sound files (audio side): reads the file at path as the car's
    // engine sound named soundName (empty for the default); 1 when read.
    int (*readEngineFile)(CarObject *car, const char *path, const char *soundName);
    // The sound section of an old engine record in the car data (audio
    // side): its waves and parameters into the engine; 1 when read. Without
    // it such car data is refused.
    int (*readEngineSound)(CarEngine &engine, DataStream &stream, int recordVersion);
    // The car's path follower (world side): reset; a fresh search of the
    // path for the span holding point (16.16), the visibility planes
    // following it (the node, or -1); and the follower's node (next 0) or
    // the node after it (next 1), 0 when the follower has no node.
    // Helmets (scene side): make the helmet skin of a player record (1 when
    // a texture of the helmet is missing); renew every helmet after a track
    // change.
    int (*setHelmetSkin)(HelmetSkin *helmet, const uint8_t info[16], uint32_t word);
    void (*refreshHelmetSkins)();
    // The track's default texture, refreshed (scene side; null for none).
    Material *(*defaultTrackTexture)();
    // Wheel and rim drawing (scene side): the axle's drawn cross-section
    // (1 when built); the axle's tyre node turned n times from it; the
    // simple eight-sided mesh of a wheel (null when none is made).
    int (*buildRimMeshes)(RimData *axle, const CarCurve *curve, int roundCrown, int plainV, int darkVariant);
    int (*buildTyreMesh)(ModelNode *node, int n, const Object3D *rimObject, const RimData &axle, float scale);
    RenderObject *(*buildWheelOctagonMesh)(float tyreWidth, float radius);
    void (*resetPathFollower)(PathFollower *follower);
    int (*findPathPosition)(PathFollower *follower, const int32_t point[3]);
    int (*pathFollowerPlace)(const PathFollower *follower, int next, PathNodePlace *place);
};

extern CarObjectServices CarServices;

// Fills level `level` of a lamp render object from the model node built
// from `body`: the vertices whose material (through their mapping) is one of
// the four (null entries never match) on the side that sideKind selects,
// with the diffuse colour (ARGB), and the triangles whose corners were all
// taken. At most 255 vertices per level.
void BuildLampMesh(RenderObject *object, const ModelNode *node, int level, const Object3D *body,
                   const ObjectMaterial *const materials[4], uint32_t colour, int sideKind);

// Non-zero while the car-sound buffer runs (set by the audio service): gear
// changes are then counted for the engine sound.
extern int carSoundStarted;

constexpr int CarPassengerSeats = 4;
constexpr int CarLodCount = 4;
constexpr int CarGearPositions = 9;
constexpr int CarDamageRecords = 16;

// One of the car's eight material records: the texture handle, the colour
// and the lamp-group data (car_lamps.cpp). Kept in memory only.
struct CarMaterial {
    uint32_t texture;
    uint8_t colour[4];   // red, green, blue, fourth
    uint8_t sideKind;    // 0 both sides, 1 the side with x below 0, 2 the side with x above 0
    uint8_t textured;    // 1: the lamp material is a texture's
    const ObjectMaterial *lampEntries[4];  // body-model materials of the group's names, or null
    Material *lampMaterial;
    RenderObject *lampObject;              // "PRT%d", owned; null when the group is not built
};

// A box (or point) of the mass model: mass (kg), centre and half sizes in
// car coordinates (m), and a kind word for drawing the elements.
struct MassElement {
    float mass;
    float centre[3];
    float halfSize[3];
    uint32_t kind;
};

// (trunc(x / step) + 1) x step: a whole multiple still rounds up one step.
float RoundUpToStep(float x, float step);

// The inertia tensor about the origin moved to the centre of mass c of a body
// of mass m.
void ShiftInertiaToCentre(const float aboutOrigin[9], float m, const float c[3], float out[9]);
// The inverse by adjugate and determinant. Returns 0 (out unchanged) when
// the determinant is not positive and finite.
int InvertInertia(const float in[9], float out[9]);

// A car: the rigid body of type 1 with everything a car is made of. Cars are
// created empty, loaded once from their car data (LoadCarData) and destroyed
// with delete; the destructor frees what the car owns, whatever state it is
// in. Its own step, resting step and state flags come with the car model;
// until then a car stays where it is.
class CarObject : public RigidBody {
public:
    CarObject();
    ~CarObject() override;

    int GetType() const override;
    void Step(float dt, float gravity) override;

    // Contacts and the tick around the step (car_contacts.cpp). Besides the
    // hull's points every wheel carries a tyre probe straight down and, off
    // the centre line, a side probe outward along its axle.
    void CollideWithObject(WorldObject *object, uint8_t upper, uint8_t lowerFront, uint8_t lowerRear) override;
    void CollideWithBody(RigidBody *other, const FixVector &separation) override;
    void CollideWithGround() override;
    void FinishContacts() override;
    void PreStep(float dt) override;
    // The odometer and fuel counters (with their statistic packet), then the
    // tick's offset folded into the position and out of the wheels' points.
    void PostStep() override;
    // Mass, centre of mass and inertia of the car with its fuel as a solid
    // box in the tank. A car whose mass or inertia would not be positive
    // keeps its last values.
    void UpdateMassProperties();
    void SetPosition(const FixVector &p);
    // Rebuilds the damaged shape (after stored dents or a pending refresh):
    // the undamaged shape restored, then every damage record applied.
    void RefreshShape();

    // The sum of input words 0, 1, 2, 11 and 12, plus 1024 while any of words
    // 3, 4, 9 or 10 is non-zero.
    int32_t InputActivity() const;
    // The light step of a car outside the body list.
    void RestingStep();
    void UpdateStateFlags();
    void StepCycleTimer();
    // Standstill test of each tick (car_standstill.cpp): 1 on the 100th
    // consecutive tick at rest (the count then restarts), else 0.
    int CountStandstill();
    // The car stops moving: speed, velocities and the moving flag cleared.
    void ClearMotionTotals();
    // Drawing state of the last frame, and the objects it touched.
    void ResetDrawState();
    void AddTouchedObject(WorldObject *object);

    // 1 when no pit work is under way and the car is slower than 2 m/s.
    int IsSlowEnough() const;
    // 0 for vehicle classes 4, 10 and 11, else 1.
    int IsNormalState() const;
    // Stops the car where it is (announcing it); returns 0.
    int StopMotion();
    // Fills the tank to percent (a byte) of its size, at most full.
    void SetFuelPercent(uint8_t percent);
    void ClearPenaltyState();
    void SetPlayerInfo(const uint8_t info[16], uint32_t word);
    // Changes the driver animation set; the loaded clips are freed and
    // loaded again on demand.
    void SetAnimationIndex(int32_t index);
    void ClearStatusText();

    // Stop detection, each tick: 1 when the stopped state changed. Moving off
    // before the start lights' go draws a jump-start penalty.
    int CheckStopped();
    // The jump-start penalty (by the lights and the pit lane; sets the start
    // mark and the session's jump-start flag), and the time penalty of a
    // layout's own start. Used by CheckStopped and SendTimedPackets.
    void SendStatePacket();
    void SendStoppedPacket();
    // Once a tick: the false-start checks against the car's start place
    // (where its last reset put it).
    void SendTimedPackets();
    // Timing lines: the start of race timing at the lights' go, a crossing
    // of timing line `line` (1 the lap line, 2.. the split lines), and the
    // recording of its time (1 when a time was recorded).
    void StartRaceTiming();
    void CrossTimingLine(int line);
    int RecordTimingLine(int line);
    // The texts shown after the car's name once it is out of the race.
    void SetFinishedText();
    void SetQualifyingOverText();
    void SetDisqualifiedText();
    // The car starts serving its penalty: 1 becomes 2 and 3 becomes 4.
    void AdvancePenalty();
    // 1 when fewer than 3 wheels stand on surface types 3 or 4 (the lap
    // stays valid), else 0.
    int FewWheelsInState3or4() const;
    // 1 when any wheel stands on surface type 4 or 8.
    int AnyWheelInState4or8() const;
    // For the head-up display (car_race_companions.cpp): within 1200 ticks
    // of the lap start, whether a lap was completed; later, whether the last
    // timing line lies 0..1200 ticks back.
    int RecentTimingEvent() const;
    // 0 when front wheel 0 or 1 is flat (bit 0 of its flat byte), else 1.
    int NoFrontWheelFlagged() const;
    // 1 when `name` differs, ignoring case, from the car's skin (colour
    // configuration) name or from its second skin name.
    int SkinDiffers(const char *name) const;
    // Called by the pit logic for a car standing without work: more than
    // 4000 ticks after its last stop or control touch the engine stops (not
    // for vehicle class 10, which has no starter), and in neutral or with
    // the clutch pedal above 0.9 the handbrake word is set to full.
    void IdleAfterStopCheck();

    // The three gear-change times of the gearbox kind: 0.2 s for kind 1,
    // 0.1 s for kinds 2 to 4, 0.05 s for kind 5; other kinds change nothing.
    void SetShiftTimes();
    // Reads the rod ends and links of the car data (the old arrays freed
    // first). Returns 1, or 0 when a count is larger than the data left, an
    // end index names no rod end or wheel point, a float is not finite, or
    // the stream ran past its end; the car then has no rods.
    int ReadRods(DataStream *stream);
    void FreeRods();
    void FreeDriverClips();

    // Takes the body object: the skin check and download request, the model
    // (RefreshModel), the helmet, the body's collision hull (the parts that
    // the set-up's part choice selects) with a copy of its points, and the
    // lamp groups (car_model.cpp).
    void LoadModelAndSkin(const Object3D *body);
    // Applies the set-up to the model: clamps it to the car and its class,
    // derives the drivetrain, wheels, suspension geometry, tyres, mass model
    // (unless keepMass), aerodynamic surfaces, limits and handicaps.
    void SetUpModel(int keepMass);
    // Clears the car's motion and working state and places it at its present
    // x, y with the given heading (radians): dropped onto the solid ground
    // below, tilted to it and pushed out of solid objects at its corners.
    // rescue: up to three placement passes with shrinking corners, and the
    // wheels keep their set-up state; otherwise one pass and every wheel is
    // set up afresh. fullProbe searches the ground from -20 m to +60 m,
    // otherwise 2 m either side of the present height.
    void Reset(float heading, int rescue, int fullProbe);
    // The race-state words of a car that has not raced.
    void ResetRaceState();
    // --- Repair, reset requests and state records (car_race_state.cpp,
    // car_records.cpp) ---
    // Clears the damage and restores the undamaged shape; every wheel is
    // repaired, and one worn at wearLimit (percent) gets a fresh tyre.
    void Repair(int wearLimit, int resetEngine);
    // 1 when traction control is fitted, a set-up is present and its flags
    // byte does not ask for it on, else 0.
    int InitialTcOff() const;
    // Both take-over ids become 255 (none).
    void ClearPitBytes();
    // Flattens the tyres of an axle (0 rear, 1 front).
    void SetAxleFlat(int axle);
    // Fresh tyres for the wheels worn at limit (percent).
    void RenewWornTyres(int limit);
    // Fills bytes 1..23 of a 24-byte "P" packet (the caller sets byte 0).
    void FillPositionPacket(uint8_t packet[24], const PlayerSlot *slot) const;
    // Judges a received "P" packet: 0 free, 1 could hit another car, 2 could
    // hit a recently reset car, 3 would cause a yellow flag, 4 the node is
    // outside the path (or the offset is not a number). An off-road or
    // off-road-edge position is moved onto the road and byte 3 set to 1.
    int CheckPositionPacket(uint8_t packet[24], const PlayerSlot *ownSlot) const;
    // The 56-byte condition record: engine wear, fuel and each wheel's tyre
    // and damage state. Apply returns 0 (car unchanged) for a record that is
    // not of kind 2.
    void PackConditionRecord(uint8_t record[56], uint8_t id) const;
    int ApplyConditionRecord(const uint8_t record[56]);
    // The 16-byte race-state record; returns the new lapStartTick. A record
    // with a penalty above 6 is refused: nothing changes and the present
    // lapStartTick is returned.
    uint32_t ApplyRaceStateRecord(const uint8_t record[16]);
    void ClearSteeringState();
    void ClearSetupWords();
    void ClearSkinTextures();
    void FreeSavedMeshes();
    void ReleaseSkins();
    void ReleaseWheelMeshes();

    // --- Model nodes, skin textures and render objects (car_model.cpp) ---
    // Rebuilds the model nodes for the part choice, skin, plate and
    // mirroring, keeps the undamaged copies and applies the stored damage.
    void RefreshModel(int withSkin);
    void RebuildModelNodes();
    // The solid, alpha and shadow render objects and the lamp meshes (once,
    // while drawing is on).
    void BuildSkinTextures();
    void RebuildRenderParts();
    // Once per car while drawing is on (car_render_parts.cpp): the rim
    // models, each axle's hub and tyre nodes from the repeated rim object and
    // each wheel's simple mesh. ReleaseWheelMeshes undoes it.
    void BuildRenderParts();
    // Deletes the solid, alpha, shadow and lamp render objects.
    void ReleaseSkinTextures();
    // After the render device was made again.
    void RefreshDerived();
    void ReapplySetup();
    void RefreshPlayerHelmet();
    void RefreshHelmetSkin();
    // After a track change: the track's default texture in the skin records
    // and the wheel nodes.
    void SetDefaultTexture();
    void ResetPartStates();
    void ClearWheelTextureRefs();
    void ReleasePlate();

    // --- Skin, tints and plate (car_skin.cpp) ---
    // 1 when the car's skin must be fetched (the car is drawn with its
    // default skin meanwhile), else 0. Sets SkinStateWord.
    int CheckSkin();
    // 1 when a remote car's skin is to be wanted from the other programs:
    // the car is remote, no multiplayer replay plays, the session is not
    // adding a car and one of the race's slots is this program's own.
    int WantsRemoteSkin() const;
    // The skin step of LoadModelAndSkin: CheckSkin, and when it answers 1
    // the download request ("Can't load skin :" when refused). Returns the
    // CheckSkin answer.
    int RequestSkinDownload();
    // The car-specific textures of the body object take the skin's texture
    // name (the first colour configuration's while skinPending), then the
    // body is tinted.
    void ApplySkinToMaterials(int skinPending);
    // The body object's colour records take colours 1 to 4.
    void TintBodyMaterials();
    // Plate materials of the body object take the plate slot's band.
    void SetPlateMaterials();

    // --- Lamps and wheel parts (car_lamps.cpp) ---
    // Looks up the eight lamp groups in bodyObject; with build nonzero also
    // makes their materials and "PRT%d" render objects (one part, one item
    // per level of the body object).
    void FindLamps(int build);
    // Fills lamp group `group` from the object's materials named name1..4
    // (null names skipped, compared without regard to case). Returns 1 when
    // a material matched.
    int BuildLampGroup(int group, const Object3D *object, int build, const char *name1, const char *name2,
                       const char *name3, const char *name4, int sideKind);
    // Deletes the lamp groups' render objects (the skin textures' release).
    void ReleaseLampObjects();
    // The parts of kinds 1 and 5 of the level-0 model node go to their
    // wheel slots, their transforms replaced by the slot marks.
    void FindWheelParts();
    void ClearWheelParts();
    // The skin names of the car (unless onlyHelmet) and of its helmet go to
    // the session's skin list.
    void AddSkinNames(int onlyHelmet);

    // --- Set-up application ---
    // Allowed tyre types of the set-up (both inclusive).
    void GetChoiceRange(int *lo, int *hi) const;
    // Allowed tyre pressures (kPa) of an axle: half to one and a half times
    // the default set-up's.
    void GetValueRange(int axle, int *lo, int *hi) const;
    // Allowed base height (m) of an axle around the default set-up's.
    void GetRideRange(int axle, float *lo, float *hi) const;
    // Whether the car has a front passenger seat and rear seats.
    void GetSeatFlags(int *front, int *rear) const;
    // The largest wheel load the brakes and springs are sized for (N).
    float MaxLoad() const;
    // Range of the set-up's brake torque (N m).
    void BrakeRange(float *lo, float *hi) const;
    void GetRoundedLimits(float *springLo, float *springHi, float *damperLo, float *damperHi,
                          float *antiRollHi) const;
    // Axle brake torques from the set-up's brake torque and balance.
    void SetBrakeShares();
    // Applies the set-up's ballast and intake restriction where they changed.
    void ApplyHandicaps();
    // b kg of ballast between the axles at the set-up's ballast position.
    void SetBallast(int kg);
    void SetIntakeRestriction(int percent);
    void BuildDashLights();
    void SetMassScaledGains();
    // How the aerodynamic lift loads the axles (N, positive down).
    void WheelLoadShares(float *rear, float *front) const;
    // Spring plus twice the anti-roll rate of each axle's set-up.
    void RollStiffness(float *rear, float *front) const;
    // Springs and dampers of the set-up into every wheel with a suspension.
    void ApplySpringSettings();
    // The axles' arm pivots and strut tops from the rod ends of kind 1..3.
    void SetRodEndPoints();
    // Tyre shape of both axles (the drawn rims come with the scene).
    void BuildRimModels();

    // --- Gear choice and gear requests (car_gears.cpp) ---
    // The engine speed (rad/s) the car's speed implies in the present gear.
    float EngineSpeedForRoadSpeed() const;
    // Judged at engine speed w: 0 keep the gear, 1 change down, 2 change up.
    int ChooseAutoGear(float w) const;
    // The pit and gear logic of a tick: the pit lane, then the gear requests
    // of the shift controls and the automatic gearbox.
    void StepPitStop(PlayerSlot *slot, float dt, int changed);
    // The pit-lane steps that come before the gear requests.
    void StepPitLane(PlayerSlot *slot, float dt, int changed);
    // --- Pit lane and state packets (car_pit_lane.cpp, car_pit_packets.cpp) ---
    // Litres the tank is filled to at a pit stop: tankSize without a slot,
    // else the present share plus the slot's refuel percentage, at most full.
    float RefuelTarget(PlayerSlot *slot) const;
    // The blue-flag and yellow-flag checks of SendStatePackets.
    void CheckBlueFlag(PlayerSlot *slot);
    void CheckYellowFlag(PlayerSlot *slot);
    // Compares the pit set-up with the set-up in use: writes each axle tyre
    // type that changes into tyreList (rear places 0, 1, front 2, 3) and sets
    // pitWork bit 16 when more than the tyres changes. Returns 1 for such a
    // set-up change, else 0. The set-up in use is left as it is: the set-up
    // packet's handler fits the new one.
    int ApplyPitSetupChange(uint8_t tyreList[4]);
    void AutoShift();
    // Carries out a pending change to requestedGear, or tries again next tick.
    void DoGearChange();

    // --- Mass model ---
    // Pass 1 builds mass and centre of mass, pass 2 the inertia.
    void BuildMassModel(int pass);
    void AddMassBox(const MassElement &element, int pass);
    void AddRod(const CarRodEnd &a, const CarRodEnd &b, CarRodLink &link, int pass);
    void AddSeat(float x, float y, float z, float width, int pass);
    void AddPerson(float x, float y, float z, int pass);

    // One pass over the wheels: drive split and differentials, anti-roll,
    // free travel, steer angles, brake torques, each wheel's suspension step,
    // solid axles and the gearbox feedback into the engine. dt is the
    // sub-step, or the whole tick when light (the one-step mode).
    void StepWheels(float dt, bool light, float gravity);
    // The steering angle (rad) that a steering input word asks for: 32768 is
    // straight ahead, 0 full lock one way (positive), 65535 just short of
    // full lock the other way.
    float SteerAngleFromInput(uint16_t word) const;
    // One sub-step of the steering rack (or of lean steering for class 0),
    // then the turn direction and radius.
    void UpdateSteering(float dt);
    // The front wheels take the input angle directly; then the turn
    // direction and radius.
    void UpdateSteeringGeometry();

    // --- The car's tick (car_step.cpp, car_integration.cpp, car_aero.cpp) ---
    // The yaw rate (rad/s): the angular velocity along the car's up axis.
    float UpwardComponent() const;
    // The aerodynamic forces of this tick: every surface's force and the
    // sums (world frame; the torque about the car's origin). Sets airSpeed.
    void StepAerodynamics(float forceSum[3], float torqueSum[3]);
    // The motion of one tick: 20 sub-steps of dt / 20 with the damage pass
    // (when slot is non-null) and the fuel use, or one light step of dt when
    // singleStep is set.
    void IntegrateTick(float dt, float gravity, const float aeroForce[3], const float aeroTorque[3],
                       PlayerSlot *slot);
    // Operations of the tick that later work fills (car_step_hooks.cpp).
    void AccumulateDamage(PlayerSlot *slot);
    // --- Damage records and the damaged shape (car_damage.cpp) ---
    // Stores a 4-byte deformation record (point index, magnitude = priority,
    // packed direction); with 16 stored it replaces the first weakest one
    // when the new one is stronger. Returns 1 when stored; a record whose
    // point index is not below pointCount or whose magnitude is 0 is refused.
    int AddDamageRecord(const uint8_t record[4]);
    // Wheel mounts back at their rest positions and collision points at
    // their saved undamaged places; withMeshes: every level's vertices
    // (position and normal) and part positions copied back from the saved
    // copies.
    void RestoreShape(int withMeshes);
    // Moves vertices, parts, wheel mounts and collision points by every
    // stored record and renews the normals of the moved vertices.
    void ApplyDamageToMeshes();
    // The undamaged copies of every level's vertices and part positions,
    // taken from freshly built model nodes once per level and kept (a copy
    // whose counts no longer fit the node is taken again).
    void SaveUndamagedMeshes();
    void UpdateBrakeHelp();
    void StepAbs(float dt);
    void ApplyTractionCut();
    void StepTyreMarks(CarWheel &wheel);
    void TrackInputChanges();
    void SendStatePackets(PlayerSlot *slot);
    void UpdateRaceProgress(float dt, int full);
    void AnnounceCar();
    void UpdateWheelLoadAverage(float dt);
    // The car's reset request to the race (force: asked by the user).
    void SendPositionPacket(int force);

    // --- Race duties (car_checksum.cpp, car_wrong_way.cpp) ---
    // Folds the physics values that every program of a race must share into
    // the four registers; returns r4.
    uint32_t PhysicsChecksum(uint32_t &r1, uint32_t &r2, uint32_t &r3, uint32_t &r4) const;
    // One backward pass of a path node in a multiplayer race.
    void CheckWrongWay();
    void WrongWayAction();
    // Reports the distance and fuel not yet reported (the car's own slot).
    void SendDistanceUpdate(PlayerSlot *slot);
    // Driving aids from the player record's option bits (bytes 34 and 35);
    // non-zero when the gears change automatically.
    int ApplyPlayerOptions(const uint8_t *playerRecord);

    // --- Remote cars and previews (car_remote.cpp) ---
    // Switch between local simulation and following received records; the
    // tread model collapses to one segment while the car is remote.
    void BecomeRemote();
    void BecomeLocal();
    // Applies a received state record describing race tick `tick`. A record
    // that would give a broken pose or gear is ignored (the car unchanged).
    void ApplyRemoteState(const CarStateRecord *r, uint32_t tick);
    // One tick of a remote car between records: the time-out and dead
    // reckoning.
    void RemoteTick();
    // Steps a car outside the physics world (garage previews) by the real
    // time passed, at most 100 ms behind; nothing while the window is
    // inactive.
    void StepStandalone();

    // --- Identity (the car data) ---
    uint32_t dataFlags;
    uint32_t dataFlags2;
    int32_t vehicleClass;
    char familyCode[4];
    char shortName[4];
    int32_t largestPartCount;
    uint32_t stepWords[2];
    uint32_t isRemote;
    int32_t plateSlot;
    char plateText[8];
    int32_t skinTextureCount;
    uint32_t skinTextureIds[24];

    // --- Mass properties ---
    float dryInertia[9];
    float workingInertia[9];
    float passCentres[2][3];      // intermediate centre: [0] stored, [1] working (ballast)
    float passMasses[2];          // intermediate mass: [0] stored, [1] working (ballast)
    float dryCentreOfMass[3];
    float dryMass;
    float massValues[3];

    // --- Step working values ---
    float smoothedForce[3];
    float airSpeed;
    float crankAxis[3];
    float enginePower;
    // The wake that following cars feel: the air direction (unit, or 0 at
    // rest in still air), the half-width, the reach along the air direction
    // and the reach against it (negative), and the car's velocity.
    float airDirection[3];
    float wake[3];
    float wakeVelocity[3];
    float dragTotal;

    // --- Race state ---
    uint8_t standstillCount;
    int32_t lastInputActivity;
    uint8_t timingArmed;
    uint8_t nextLine;
    uint32_t lastTime;
    uint32_t lapStartTick;
    uint32_t raceStartTick;
    uint32_t raceTime;
    int32_t startOffset;
    uint8_t startByte;
    uint8_t secondCount;
    uint16_t lapsDone;
    uint16_t confirmedLaps;
    uint8_t finished;
    uint8_t resultRecorded;
    uint8_t penalty;
    uint8_t takeOverIds[2];
    uint8_t stopped;
    uint8_t pitWorkStep;
    uint8_t pitLaneState;
    uint8_t tcOff;
    uint8_t singleStep;
    uint8_t speedLimit;
    uint8_t announcePending;
    uint8_t remoteHeld;
    uint32_t lastStopTick;
    uint32_t networkTick;
    // Kept for the race's results and progress: the best lap (ticks, 0 none),
    // the pit stops made, the race tick of the last result received, the
    // race tick the car last advanced along the path, and whether the car
    // feeds the path's learned band.
    uint32_t bestLapTime = 0;
    uint8_t pitStopCount = 0;
    uint32_t resultTick = 0;
    uint32_t lastAdvanceTick = 0;
    uint8_t updatesPath = 0;
    // Contacts and counters (car_contacts.cpp).
    float tickFuel = 0.0f;           // litres used in the last tick
    int32_t bumpStep = 0;            // 16.16 metres moved in the last tick
    uint32_t shapeRefreshPending = 0;
    float wind[3] = {};              // the world's wind this tick, m/s
    float wakeStrength = 0.0f;
    // Timing lines, stop detection and car-data recording (car_timing.cpp).
    uint32_t rafState = 0;        // 0 off, 1 start at the next lap line, 2 recording
    uint8_t stopCheckCount = 0;   // stop tests so far, counting to 100
    uint8_t penaltyRequest = 0;   // penalty kind asked for by the jump-start check
    uint8_t penaltySent = 0;      // start mark: 0 none, 1 jump-start penalty sent, 2 removed (false start)
    uint8_t lapLineCrossed = 0;   // 1 after a lap line, 0 after a split line
    int32_t countdown = 0;        // ms the last time stays shown
    uint32_t sinceStart = 0;      // ticks from the race start to the last line
    uint32_t lapValidity = 0;     // hot-lap validity at the lap line: 1 valid, 2 invalid
    int32_t lineTimes[4] = {};    // split lines 2, 3, 4 and the lap, in ticks
    int32_t lastSectorTime = 0;
    float lastLapDistance = 0.0f; // metres of the last lap
    float lapDistance = 0.0f;     // metres of the present lap
    char rafName[32] = {};        // name of the car-data recording
    DataStream *rafStream = nullptr;  // owned: the open recording (car_data_recording.cpp)
    uint32_t rafFrameCount = 0;
    float lapStartFuel = 0.0f;    // litres at the last lap line
    uint32_t fuelLapCount = 0;
    float fuelLapTotal = 0.0f;    // litres used over fuelLapCount laps
    uint32_t lastInputTick = 0;   // when the driver last moved a control while stopped
    uint32_t stopTick = 0;        // when the car last came to a stop
    // Reset requests and race-state records (car_records.cpp).
    uint8_t recentlyReset = 0;    // other cars' reset requests keep clear of resetPosition
    int32_t raceTimeWord = -1;    // the race-state record's time word, -1 none
    // Pit lane (car_pit_lane.cpp).
    const ZoneObject *speedZone = nullptr;  // the speed-limit zone the car is in (world's), or null
    uint32_t pitWork = 0;         // bit n: pit work step n is to be done (1..17)
    uint32_t pitStepEndTick = 0;  // stepCount at which the present work step ends
    int32_t pitStopTicks = 0;     // length of the last pit stop, ticks
    float refuelTarget = 0.0f;    // litres the tank is filled to in step 17
    uint8_t pitNotice = 0;        // last entry or exit: 0 left, 1 entered, 2 no purpose, 3 drive-through, 4 stop-go
    uint8_t pitNoticeDelay = 0;   // ticks until pitNotice is reported
    uint8_t pitStopPending = 0;   // a race pit stop not yet counted by its packet's handler
    // State packets (car_pit_packets.cpp).
    uint8_t inputFlatCount = 0;   // flat tyres counted by TrackInputChanges
    int32_t inputCredit = 0;
    int32_t inputChange = 0;
    uint8_t blueFlagCount = 0;    // 0..7
    uint8_t blueFlagCarId = 0;    // player id named by the last blue flag
    uint8_t yellowFlagCount = 0;  // 0..4
    char raceControlText[64] = {};  // the host's text shown with the car; empty for none
    // Packets sent by the car's timed countdowns (SendTimedPackets, per
    // tick): each goes out on the step from 1 to 0. The live settings
    // (brake balance and anti-roll, 'E'), the pit strategy bytes ('8') and
    // the state byte ('Q', `pendingStateByte`).
    uint8_t liveSettingsTimer = 0;
    uint8_t strategyTimer = 0;
    uint8_t stateByteTimer = 0;
    uint8_t pendingStateByte = 0;
    // The state byte of a car driven elsewhere, as its program sent it.
    uint8_t remoteStateByte = 0;
    // Switch bits of the car (bit 0 blue flag, bit 1 yellow flag), set and
    // cleared by the switch packets every program applies.
    uint8_t switchBits = 0;
    // A second skin name (the one a driver change or a download brings);
    // empty for none. SkinDiffers compares against it too.
    char secondSkinName[16] = {};
    // The wheels' load x grip: the smoothed mean (N) and the engine speed
    // as a 0..7 ratio (2 at idle, 7 at the rev limit), kept beside the
    // 64-bit total for the race statistics.
    float wheelLoadSmoothed = 0.0f;
    float engineSpeedRatio = 0.0f;
    // Road values kept by race progress: the path direction at the car
    // (unit x, y) and the road's low and high lateral edges (m); the car's
    // lateral offset and its slow-speed threshold are progress[1] and
    // progress[0]. The edges are not numbers until race progress has placed
    // the car: it is then on no road, and the flag checks judge nothing.
    float roadDirection[2] = {0.0f, 1.0f};
    float roadEdges[2] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::quiet_NaN()};

    // --- Track progress ---
    PathFollower *pathFollower;   // owned; null until the world registers its factory
    float progress[2];            // the slow-speed threshold (m/s) and the lateral offset from the path node (m)
    int32_t progressWord;
    uint32_t penaltyCounter;      // counted by race progress while the car is slow
    uint32_t wrongWayCount;
    // Kept by race progress (race code): the distance along the lap from
    // the path's node distances (not lapDistance, the metres driven), the
    // layout route's next checkpoint circle and last circle entered (255
    // none), whether the car is behind the timing line expected next, and
    // its speed at the last line.
    float pathLapDistance = 0.0f;
    uint8_t nextCheckpoint = 0;
    uint8_t lastZone = 255;
    uint8_t behindLine = 0;
    float speedAtLine = 0.0f;
    // The path node race progress found the car at, -1 unknown.
    int32_t progressNode = -1;
    // Kept by the race packets: the timing state (the last line's number, or
    // the split moved on), the penalty seconds x 100 to add to the race
    // time, the reason of the penalty held, the penalty served this lap,
    // and whether a pit stop was made after a lap time was recorded.
    uint8_t timingState = 0;
    uint32_t penaltyTime = 0;
    uint8_t penaltyReason = 0;
    uint8_t penaltyServed = 0;
    uint8_t pitted = 0;

    // --- Engine ---
    CarEngine engine;

    // --- Fuel ---
    float fuelWork[2];
    float fuel;                   // litres
    float tankHalfSize[3];
    float lapFuel[4];

    // --- Positions and masses of the car data ---
    float enginePosition[3];
    float driverPose[3];
    float driverSeat[3];
    float rearSeat[3];
    float storedTankPosition[3];
    float tankPosition[3];        // storedTankPosition with x negated while mirrored
    float furtherMass[4];
    float spareWheel[4];
    float drawingValues[3];
    float extraFloat;
    float engineMass;
    float tankShellMass;
    float tankSize;               // litres
    float rodMass;
    float otherMasses[3];

    // --- Step counters, steering, shifting, aids ---
    uint32_t stepCount;
    uint32_t lastPositionTick;
    float steering[4];
    float unitFactors[3];
    float shiftTimes[3];
    float aidWork[4];
    uint32_t aidFlags;            // bit 0 traction control fitted
    float resetFactors[2];

    // --- Dashboard ---
    uint8_t modelVariant;
    uint8_t dashboardLength;
    uint8_t dataBytes[2];
    uint8_t dashboard[MaxDashboardBytes];

    // --- Controls ---
    uint16_t inputs[18];
    uint32_t setupWords[4];

    // --- Rods ---
    int32_t rodCount;
    CarRodEnd *rods;
    int32_t rodLinkCount;
    CarRodLink *rodLinks;

    // --- Set-ups ---
    int32_t setupCount;
    NamedSetup *setupTable;       // owned
    int32_t setupIndex;           // -1: the set-up came from outside
    CarSetup *setup;              // in the table, or the caller's record
    uint32_t packetWords[3];
    uint32_t setupWords2[2];

    // --- Colours ---
    int32_t colourCount;
    CarColours *colourTable;      // owned
    uint32_t skinTime;
    int32_t colourIndex;          // -1: given from outside
    CarColours *colours;          // in the table, or the caller's record

    CarSetup pitSetup;

    // --- Part names ---
    int32_t partNameCount;
    CarPartName partNames[MaxCarPartNames];

    // --- Drivetrain ---
    float inertiaScale;
    int32_t gearboxKind;
    int32_t gearCount;
    float gearRatios[CarGearPositions];

    // --- Body model ---
    const Object3D *bodyObject;   // shared, not owned
    ModelNode *modelNodes[CarLodCount] = {};
    uint32_t modelWords[5];
    uint32_t skinTextures[3];
    CarMaterial materials[CarMaterialCount];
    const char *hullResult;       // what BuildCollisionHull answered, or null
    // Built on demand by BuildSkinTextures ("SOL%d", "ALP%d", "SHD%d").
    RenderObject *solidObject = nullptr;
    RenderObject *alphaObject = nullptr;
    RenderObject *shadowObject = nullptr;
    RenderObject *wheelMeshes[MaxCarWheels] = {};   // "WHL%d", owned
    uint8_t renderPartsBuilt = 0;   // 1 after BuildRenderParts, until ReleaseWheelMeshes
    uint8_t textureMissing = 0;   // a texture of the model failed to load
    uint8_t helmetMissing = 0;    // the helmet's texture failed to load

    // --- Player ---
    HelmetSkin helmetSkin;
    uint32_t playerInfoWord;
    uint8_t playerInfo[16];
    uint32_t clockWords[2];

    // --- Motion ---
    float speed;
    float progressFloat;
    float sprungCentre[3];
    float angularVelocity[3];
    float acceleration[3];
    float gForce[3];

    // --- Gear and lamps ---
    uint8_t gear;                 // 0 reverse, 1 neutral, 2.. forward
    uint8_t requestedGear;
    uint8_t shiftByte;
    uint8_t headlight;
    uint8_t brakeLamp;
    uint8_t reverseLamp;
    uint8_t auxLamp;
    uint8_t indicator;
    uint32_t dashLights;
    uint32_t cycleCounter;

    ProjectorConstantSource projector;
    MotionProfile smoothPosition[4];

    float turnRadius;
    float turnDirection;          // 0 straight, 1 and 2 the two directions

    // --- Steering rack and pedals of the step ---
    float steerTarget = 0.0f;     // rad, asked by the input word this tick
    float steerAngle = 0.0f;      // rad, the input's angle in this sub-step
    float steerRate = 0.0f;       // rad/s of the input over the tick
    float wheelSteerAngle = 0.0f; // rad, the front wheels' angle
    float wheelSteerRate = 0.0f;
    float steerInertia = 0.0f;    // set by the model set-up
    float steerDamping = 0.0f;
    float steerStiffness = 0.0f;
    float subStepSteerTorque = 0.0f;  // tyre torque about the steering axes, this sub-step
    float steerTorque = 0.0f;     // sum of the sub-steps' torques this tick
    // For the steering wheel's force: the tick's mean steering torque of the
    // steered wheels on side -1 and on side +1 (N m; their sum is steerTorque), and
    // the tick's distance as a speed (m/s). Read only by the session.
    float sideSteerTorque[2] = {};
    float speedStep = 0.0f;
    float lastRollRate = 0.0f;    // lean steering's roll rate of the last sub-step
    float brake = 0.0f;           // filtered pedal
    float handbrake = 0.0f;
    uint8_t absRelease[MaxCarWheels] = {};  // anti-lock release per wheel, percent
    float absReference = 0.0f;    // anti-lock reference rim speed of the tick (m/s)
    // --- Control chain of the step (car_step.cpp) ---
    // Timers in seconds, counting down to 0 by dt each tick.
    float autoClutchTimer = 0.0f;     // the automatic clutch holds the pedal down
    float throttleCutTimer = 0.0f;    // the gear shift cuts the throttle
    float ignitionCutTimer = 0.0f;    // the gear shift cuts the combustion
    float blipTimer = 0.0f;           // throttle blip on a down-shift
    float brakeHelpTimer = 0.0f;      // brake help limits the brake
    uint8_t revMatchWait = 0;         // throttle cut until the engine falls to road speed
    // Gear requests (car_gears.cpp): a held shift-up or shift-down control,
    // and the ticks the automatic gearbox waits after a change.
    uint8_t upLatch = 0;
    uint8_t downLatch = 0;
    int32_t autoShiftHold = 0;
    FixVector resetPosition = {0, 0, 0};  // where the car was last reset (16.16)
    uint8_t lastGear = 0;             // gear of the last tick, for the change count
    uint8_t gearChangeCount = 0;      // gear changes heard by the engine sound (wraps)
    uint8_t flatCount = 0;            // flat tyres this tick
    float steerPrev = 0.0f;           // steering target of the previous tick (rad)
    float steerNext = 0.0f;           // steering target of this tick (rad)
    float tractionFactor = 1.0f;      // 1 no cut, 1 - cut while cutting, 2 after a tick with a cut
    float limiterFactor = 1.0f;       // the rev limiter's factor of the last engine step
    float uncutThrottle = 0.0f;       // throttle before this tick's traction cut
    uint8_t tractionArmed = 0;        // traction control may cut this tick
    uint8_t tcLight[4] = {};          // traction-control lamps of the dashboard, per wheel
    uint8_t engineStartSound = 0;     // 1 when the starter fired while car sound runs
    // Remote car state: -1 no record yet, 0 fresh, 1 timed out; the step
    // count when the last record arrived; its age in seconds.
    int32_t remotePhase = -1;
    uint32_t remoteStateTick = 0;
    float remoteAge = 0.0f;
    // 0 until the first record placed the path follower and smoothing;
    // remoteWake: set by the session to make the car collide at the next
    // record; the last record applied.
    uint32_t remoteStarted = 0;
    uint32_t remoteWake = 0;
    CarStateRecord lastRemoteRecord = {};
    // Milliseconds of real time given to and stepped by StepStandalone.
    uint32_t standaloneClock = 0;
    uint32_t standaloneDone = 0;
    // Bit 6 of a received record's gear byte: set once, kept.
    uint8_t remoteLatch = 0;
    // --- Drivetrain values of the wheel pass ---
    float finalDrive = 0.0f;
    int32_t drivenWheelCount = 0;
    float propShaftSpeed = 0.0f;      // rad/s
    float wheelEngineSpeed = 0.0f;    // engine-side gearbox input speed the driven wheels imply
    // Per axle record (rear, front): the wheel index in each of its two slots
    // (slot 1 the side +1 wheel; -1 empty), 1 when both slots are filled, and
    // 1 when the axle is driven through a locked differential, so that both
    // wheels turn as one (a solid axle).
    int32_t axleWheels[2][2] = {{-1, -1}, {-1, -1}};
    uint8_t axleTwoWheels[2] = {};
    uint8_t solidAxle[2] = {};
    // --- Values of the set-up application ---
    // Handicaps in force: intake restriction (percent), ballast (kg) and the
    // ballast position (front share, percent) it was placed at.
    uint8_t appliedRestriction = 0;
    uint8_t appliedBallast = 0;
    uint8_t ballastPosition = 0;
    uint8_t roofOpen = 0;
    uint8_t fixedRear = 0;        // the class fixes the rear axle's set-up
    uint8_t absFitted = 0;
    uint8_t packetBrakeBalance = 0;
    float packetAntiRoll[2] = {};
    float frontTorqueShare = 0.0f;
    float axleCaster[2] = {};     // rad
    float axleAirVolume[2] = {};  // m^3
    float axleBrakeTorque[2] = {};  // N m
    // Per axle: lower arm pivot, upper arm pivot, strut top (16.16).
    int32_t axlePoints[2][3][3] = {};
    // Sums over the surfaces in use (dragTotal is the fourth).
    float liftTotal = 0.0f;
    float dragCoefficientTotal = 0.0f;
    float liftCoefficientTotal = 0.0f;
    float lowestPoint = 0.0f;     // smallest body point z
    float groundClearance = 0.0f;
    float halfWidth = 0.0f;
    float topSpeedEstimate = 0.0f;  // m/s
    float tyreRadiusRatio = 0.0f;   // rear over front
    // Mass model: first moment of pass 1, part totals, the dry mass and
    // centre before any ballast.
    float firstMoment[3] = {};
    float wheelMassTotal = 0.0f;
    float hubMassTotal = 0.0f;
    float occupantMass = 0.0f;
    float seatMass = 0.0f;
    float bodyMass = 0.0f;
    float storedDryCentre[3] = {};
    float storedDryMass = 0.0f;
    int64_t wheelLoadTotal;
    int32_t odometer;
    int32_t fuelUsed;
    int32_t fuelUsedLastTick;

    // --- Wheels and axles ---
    int32_t wheelCount;
    CarWheel *wheels;             // owned, wheelCount records
    uint8_t drivenAxles;          // bit 0 rear, bit 1 front
    uint8_t previewCar;
    uint8_t customEngineSound;
    uint8_t statisticSent;
    float driveEfficiency;
    float rearDriveFactor;
    float frontDriveFactor;
    float wheelbase;
    float axlePositions[2];
    RimData axles[2];             // rear, front
    uint8_t rimBytes[4];          // byte 0: the rim repeat count
    Object3D rimObject;
    CarCurve *curve;              // owned
    CarSoundState soundState{};
    // Kept beside the sound state, which the reset re-initialises: the horn
    // sounding (0..4) and the one last started (255 none); the car is silent
    // while soundOff is set.
    uint8_t hornIndex = 0;
    uint8_t hornStarted = 255;
    uint8_t soundOff = 0;
    // Set by the car-sound mixer when the car was synthesised in full in the
    // last block, cleared when it was listed but not mixed.
    uint8_t soundHeard = 0;

    // --- Driver animation ---
    DriverClip *steeringClip;
    int32_t animationIndex;       // -1: no driver figure
    DriverClip *rawSteeringClip;
    DriverClip *passengerClips[CarPassengerSeats];
    float passengerSeats[CarPassengerSeats][3];
    char animationName[8];

    uint8_t setupRanges[8];
    AeroSurface wings[4];
    ModelNode *wheelParts[6];     // parts of kind 1 of the level-0 node, by axle x 3 + side + 1
    ModelNode *wheelParts5[6];    // the same for parts of kind 5

    uint8_t wrongWayNotice[4];
    int32_t hullPointCount;

    // --- Status text and name state ---
    uint32_t statusCodePage;
    char statusText[32];
    uint8_t nameData[64];
    uint32_t nameWord;
    uint8_t nameTextState[96];
    float displayValues[4];
    uint8_t displayBytes[8];

    // --- Options ---
    uint32_t mirrored;
    uint32_t autoCut;
    uint32_t autoBlip;
    uint32_t autoGears;
    uint32_t autoClutch;
    uint32_t brakeHelp;

    // --- Damage and repair ---
    int32_t damageCount;
    uint8_t damageRecords[CarDamageRecords][4];
    float (*savedPoints)[3];      // owned: every collision point's local position
    // Owned undamaged copies per level (SaveUndamagedMeshes): word 0 the
    // vertex (part) count, then 6 words per vertex (16.16 position and
    // normal) or 3 per part (16.16 position).
    int32_t *savedVertices[CarLodCount] = {};
    int32_t *savedPartVectors[CarLodCount] = {};
};

// Prints "Can't reset - %s" with the reason's text and the info sound.
void ShowCarMessage(int reason);
// |a - b| of two integers.
inline int64_t AbsDiff(int64_t a, int64_t b) { return a < b ? b - a : a - b; }

// Whether a car outside the body list keeps resting: no engine start request,
// speed and engine speed both +0.0 exactly, and an input activity within 511
// of the last one recorded.
int IsCarResting(uint16_t startRequest, float speed, float engineSpeed, int32_t inputActivity,
                 int32_t lastInputActivity);

// The slipstream of a leading car on a following one: adds the leader's wake
// to the follower's surfaces in use. Nothing happens when the leader's air
// direction is steep (|z| >= 0.5) or the follower lies outside the wake.
// Returns 1 when the follower's surfaces were given the wake.
int ApplySlipstream(const FixVector &followerPosition, AeroSurface wings[4], const FixVector &leaderPosition,
                    const float airDirection[3], const float wake[3], const float wakeVelocity[3],
                    float dragTotal);
