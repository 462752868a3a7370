#pragma once

#include <cstdint>

#include "core/colour.h"

// The user settings of cfg.txt: plain globals that every subsystem reads
// directly. Their defaults, ranges and written forms live in one place, the
// key table of core/config_file.cpp; ReadConfigFile sets them all, so the
// values below are zero until it has run. The comment after each names its
// key in cfg.txt.
//
// Keys bound to globals of other files: "Window " (WindowRectangle here),
// "Screen Info " (FullScreenMode) and "INFO_F9 ".."INFO_F12 " (ModePresets)
// of core/shell_globals.h; "FN_J ".."FW_K " (FontFaceSettings) of
// core/font_face_settings.h.

struct ScreenRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// The four pit strategy bytes, kept together: they travel as one group in
// the race's player-percentages packet.
struct PitStrategy {
    uint8_t fuelStart;  // "Fuel Start " percent
    uint8_t fuelPit;    // "Fuel Pit " percent
    uint8_t tyreLimit;  // "Tyre Limit " percent
    uint8_t strategy;   // "Strategy "
};
static_assert(sizeof(PitStrategy) == 4, "the pit strategy is four consecutive bytes");

// The player's name and the number-plate tag that follows it, one 32-byte
// record: PlayerTagDiffers compares such records, and the tag is stored in
// the player file.
constexpr int PlayerNameSize = 24;
constexpr int PlayerTagSize = 8;
struct PlayerNameRecord {
    char name[PlayerNameSize];  // "Ply Name "
    char tag[PlayerTagSize];    // the number plate; not zero-terminated when full
};
static_assert(sizeof(PlayerNameRecord) == 32, "name and tag form one 32-byte record");

constexpr int MipBiasCount = 4;
constexpr int DashColourCount = 4;

// Start-up, window and frame timing.
extern int StartWindowed;            // "Start Windowed ": 1 while the program runs in a window
extern int WelcomeZ;                 // "Welcome Z "
extern ScreenRect WindowRectangle;   // "Window ": the windowed client rectangle
extern int ShowFps;                  // "Show FPS "
extern int MinFrameTime;             // "Min Frame Time " ms
extern int GameLimitFps;             // "Game Limit FPS "
extern int MinSleep;                 // "Min Sleep " ms
extern int WindowedLink;             // "Windowed Link "
extern int DedicatedHost;            // "Dedicated Host "

// Controls and force feedback.
extern int ControlType;              // "Control Type ": 0 mouse or keyboard, 1 wheel or joystick
extern int SteerKb;                  // "Steer KB "
extern float ThrBrkRate;             // "Thr Brk Rate "
extern float KbSteerRate;            // "KB Steer Rate "
extern float KbReturnRate;           // "KB Return Rate "
extern float KbFastMul;              // "KB Fast Mul "
extern float KbSlowMul;              // "KB Slow Mul "
extern float KbLimitMul;             // "KB Limit Mul "
extern int FfStepNum;                // "FF Step Num "
extern float FfStrength;             // "FF Strength "
extern float CombinedNonLinear;      // "Combined Non Linear "
extern float TurnCompensation;       // "Turn Compensation "
extern float MouseNonLinear;         // "Mouse Non Linear "
extern float SteerSmooth;            // "Steer Smooth "
extern float SpeedSteerReductionWm;  // "Speed Steer Reduction WM "
extern float HalfReduceSpeedWm;      // "Half Reduce Speed m/s WM "
extern float SpeedSteerReductionKb;  // "Speed Steer Reduction KB "
extern float HalfReduceSpeedKb;      // "Half Reduce Speed m/s KB "
extern int Debounce;                 // "Debounce " ms

// Display, textures and drawing.
extern int NextShot;                 // "Next Shot "
extern int SkyRes;                   // "Sky Res "
extern int FogEnabled;               // "Haze Effect "
extern int TestShadows;              // "Test Shadows "
extern int VerticalSync;             // "Vertical Sync "
extern float MipBias[MipBiasCount];  // "MIP_0 ".."MIP_3 "
extern float MainLod;                // "Main LOD "
extern float MirrLod;                // "Mirr LOD "
extern float DustLod;                // "Dust LOD "
extern float DynamicLod;             // "Dynamic Lod "
extern float RubberLay;              // "Rubber Lay "
extern float RubberDark;             // "Rubber Dark "
extern float MpDrawDist;             // "MP Draw Dist "
extern uint32_t ScreenFlags;         // "Screen Flags "
extern Colour SunColour;             // "Sun Colour "
extern Colour SkyHighColour;         // "Sky High "
extern Colour GroundColour;          // "Ground "
extern Colour BackgroundColour;      // "Background "
extern Colour BackTextureColour;     // "Back Texture "
extern Colour DashColourSettings[DashColourCount];  // the four "XXX Dash " keys
extern Colour RoadGearLedColour;     // "Road Gear LED "
extern Colour SplitTextColour;       // "Split Text "
extern Colour ClockTextColour;       // "Clock Text "
extern Colour ClockNeedleColour;     // "Clock Needle "
extern float ScreenCx;               // "SCREEN_CX "
extern float ScreenCy;               // "SCREEN_CY "
extern float ScreenXMul;             // "SCREEN_XMUL "
extern float ScreenYMul;             // "SCREEN_YMUL "
extern int ShowModes;                // "SHOW_MODES "
extern int BlobSize;                 // "Blob Size "
extern int NoTrees;                  // "No Trees "
extern int NoFlags;                  // "No Flags "
extern int NoRubber;                 // "No Rubber "
extern float MessageSize;            // "Message Size "
extern float CarShine;               // "Car Shine "
extern int Antialiasing;             // "Antialiasing "
extern int MipFilter;                // "Mip Filter "
extern int LocalSkinsDds;            // "Local Skins DDS "
extern int ShadowMode;               // "Shadow Mode "
extern int HalfTexRes;               // "Half Tex Res "

// Views.
extern int MirrorInternal;           // "Mirror Internal "
extern int ClocksInternal;           // "Clocks Internal "
extern int ClocksExternal;           // "Clocks External "
extern int InstantLook;              // "Instant Look "
extern int SteerLook;                // "Steer Look "
extern float SteerLookAmount;        // "Steer Look Amount "
extern float SteerLookReduce;        // "Steer Look Reduce "
extern float TiltDpg;                // "Tilt DPG "
extern float Lspg;                   // "LSPG "
extern float Fspg;                   // "FSPG "
extern float Vspg;                   // "VSPG "
extern float CameraDelay;            // "Camera Delay "
extern float ButtonLook;             // "Button Look "
extern float FvLag;                  // "FV Lag "
extern float FvHeight;               // "FV Height "
extern float FvPitch;                // "FV Pitch "
extern float FvDist;                 // "FV Dist "
extern int FvDir;                    // "FV Dir "
extern int DisableAnimView;          // "Disable Anim View "
extern int DriverPosView;            // "Driver Pos View "
extern int NamesMode;                // "Show Names "
extern int ShowMouse;                // "Show Mouse "
extern int InternalShow;             // "Internal Show "
extern int ShowMap;                  // "Show Map "

// Race and garage choices.
extern char SelectedCarName[32];     // "Selected Car "
extern char MapName[32];             // "Map Name "
extern PlayerNameRecord PlayerName;  // "Ply Name " (name) and the player file's tag
extern char SetupName[16];           // "Setup Name "
extern char ColoursName[16];         // "Colours Name "
extern int SetupIndex;               // "Setup Index "
extern int ColoursIndex;             // "Colours Index "
extern int TrackLighting;            // "Lighting "
extern int TrackFlip;                // "Flip "
extern int TrackConfig;              // "Config "
extern int RaceStart;                // "Race Start "
extern int StartLights;              // "Start Lights "
extern int SkillLevel;               // "Skill Level "
extern PitStrategy DefaultPitStrategy;  // "Fuel Start ", "Fuel Pit ", "Tyre Limit ", "Strategy "
extern int AiUsePlySetup;            // "AI Use Ply Setup "
extern int AiUsePlyColours;          // "AI Use Ply Colours "
extern int SprAutoSave;              // "SPR Auto Save "
extern int MprAutoSave;              // "MPR Auto Save "
extern int MprMessageBlock;          // "MPR Message Block "
extern int AllSprMpr;                // "ALL SPR MPR "
extern int OptionsTab;               // "Options "

// Editors.
extern int TrackEdSpeed;             // "TrackEd Speed " 16.16
extern int ModelEdSpeed;             // "ModelEd Speed " 16.16
extern uint32_t EditorOptions;       // "Editor Options ": bit 0x80 shows a 12-hour clock
extern float EditorFov;              // "Editor FOV "
extern float EditorSoft;             // "Editor Soft "
extern int EdCharSize;               // "Ed Char Size "

// Multiplayer and online.
extern int UpdatePath;               // "Update Path "
extern int ReplaySkins;              // "Replay Skins "
extern int AutoGetSkins;             // "Auto Get Skins "
extern int HelmetSkins;              // "Helmet Skins "
extern int MpSpeedupOpt;             // "MP Speedup Opt "
extern int MasterPort;               // "Master Port "
extern int AutoKick;                 // "Auto Kick "
extern int AddressName;              // "Address Name "
extern char ServerIp[16];            // "Server IP "
extern char ServerName[32];          // "Server Name "
extern char ServerPort[8];           // "Server Port "
extern char GameName[32];            // "Game Name "
extern char GameIp[16];              // "Game IP "
extern char GamePort[8];             // "Game Port "
extern char GamePass[16];            // "Game Pass "
extern char GameAdmin[16];           // "Game Admin "
extern char FindUser[24];            // "Find User "
extern char UploadBandwidth[8];      // "Upload Bandwidth "
extern int LagPrevent;               // "Lag Prevent "
extern int MaxConns;                 // "Max Conns "
extern int ModemType;                // "Modem Type "
extern int PacksPerSec;              // "Packs Per Sec "
extern int CarsInRace;               // "Cars In Race ": at most 32, the race's slot count
extern int CarsPerGuest;             // "Cars Per Guest "
extern int CarsPerHost;              // "Cars Per Host "
extern int AdminSlots;               // "Admin Slots "
extern uint32_t MpRules;             // "MP Rules "
extern uint32_t MpFlags;             // "MP Flags "
extern uint32_t MpFilter;            // "MP Filter "
extern uint32_t RulesY;              // "Rules Y "
extern uint32_t RulesN;              // "Rules N "
extern uint32_t FlagsY;              // "FLags Y "
extern uint32_t FlagsN;              // "Flags N "
extern int ConnToMaster;             // "Conn To Master "

// Sound and music. The audio subsystem reads the three volumes (0..20) and
// the music file pattern after ReadConfigFile.
extern char MusicDir[80];            // "Music Dir "
extern int MusicSetup;               // "Music Setup "
extern int MusicGame;                // "Music Game "
extern int MusicReplay;              // "Music Replay "
extern float MusicVolume;            // "MUSIC "
extern float BeepsVolume;            // "BEEPS "
extern float CarSoundVolume;         // "CAR_V "
extern float EchoBalance;            // "ECHO_B "
extern float SkidBalance;            // "SKID_B "
extern float WindBalance;            // "WIND_B "
extern float SoundDelay;             // "Sound Delay "
extern int MusicChannel;             // "Music Channel "

// Language.
extern char LanguageName[32];        // "Language ": empty for English

// Telemetry. Mode 3 (set from the command line) lasts only while the
// program runs: it is written as 0.
extern int OutSimMode;               // "OutSim Mode "
extern int OutSimDelay;              // "OutSim Delay "
extern char OutSimIp[16];            // "OutSim IP "
extern char OutSimPort[8];           // "OutSim Port "
extern int OutSimId;                 // "OutSim ID "
extern int OutGaugeMode;             // "OutGauge Mode "
extern int OutGaugeDelay;            // "OutGauge Delay "
extern char OutGaugeIp[16];          // "OutGauge IP "
extern char OutGaugePort[8];         // "OutGauge Port "
extern int OutGaugeId;               // "OutGauge ID "
