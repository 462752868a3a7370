#include "platform/controllers.h"

#include <SDL.h>

#include <cstring>

// Game controllers over SDL's joystick and haptic services.
//
// Axis k (k < 8) is slot k; values -32768..32767 become -1000..1000. The
// joystick type gives the kind: a wheel 2, a flight stick or throttle 3,
// anything else 4. Hat bits become hundredths of a degree (diagonals are the
// odd multiples of 4500). Force levels of -10000..10000 become SDL's
// -32767..32767; a one-axis effect points along +X and carries the sign in
// its level, a two-axis effect carries it in its direction.

namespace {

constexpr int MaxDevices = 8;
constexpr int HapticLevelMax = 32767;

class SdlControllerBackend final : public ControllerBackend {
public:
    int Start() override
    {
        error_[0] = '\0';
        if (!joystickStarted_) {
            if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
                Remember();
                return 1;
            }
            joystickStarted_ = true;
        }
        if (!hapticStarted_) {
            // Force feedback is optional: controllers work without it.
            hapticStarted_ = SDL_InitSubSystem(SDL_INIT_HAPTIC) == 0;
        }
        return 0;
    }

    void Stop() override
    {
        for (int device = 0; device < MaxDevices; ++device) {
            CloseHaptic(device);
            Close(device);
        }
        if (hapticStarted_) {
            SDL_QuitSubSystem(SDL_INIT_HAPTIC);
            hapticStarted_ = false;
        }
        if (joystickStarted_) {
            SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
            joystickStarted_ = false;
        }
        if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) {
            SDL_Quit();
        }
    }

    int DeviceCount() override
    {
        if (!joystickStarted_) {
            return 0;
        }
        const int count = SDL_NumJoysticks();
        return count < 0 ? 0 : count;
    }

    int Open(int device, ControllerDeviceInfo *info) override
    {
        if (!Valid(device) || !joystickStarted_) {
            Fail("no such device");
            return 1;
        }
        *info = ControllerDeviceInfo{};
        const char *name = SDL_JoystickNameForIndex(device);
        std::strncpy(info->name, name != nullptr ? name : "", ControllerNameSize - 1);
        info->pedals = 1;
        switch (SDL_JoystickGetDeviceType(device)) {
        case SDL_JOYSTICK_TYPE_WHEEL:
            info->kind = ControllerKindWheel;
            break;
        case SDL_JOYSTICK_TYPE_FLIGHT_STICK:
        case SDL_JOYSTICK_TYPE_THROTTLE:
            info->kind = ControllerKindFlight;
            break;
        default:
            info->kind = ControllerKindJoystick;
            break;
        }
        if (joysticks_[device] == nullptr) {
            joysticks_[device] = SDL_JoystickOpen(device);
            if (joysticks_[device] == nullptr) {
                Remember();
                return 1;
            }
        }
        SDL_Joystick *joystick = joysticks_[device];
        const int axes = SDL_JoystickNumAxes(joystick);
        for (int slot = 0; slot < ControllerAxisSlots; ++slot) {
            info->axisPresent[slot] = slot < axes ? 1 : 0;
        }
        const int hats = SDL_JoystickNumHats(joystick);
        info->hatCount = hats < 0 ? 0 : hats;
        return 0;
    }

    void Close(int device) override
    {
        if (Valid(device) && joysticks_[device] != nullptr) {
            SDL_JoystickClose(joysticks_[device]);
            joysticks_[device] = nullptr;
        }
    }

    int Poll(int device, ControllerReading *reading) override
    {
        if (!Valid(device) || joysticks_[device] == nullptr) {
            Fail("device not open");
            return 1;
        }
        SDL_Joystick *joystick = joysticks_[device];
        SDL_JoystickUpdate();
        if (!SDL_JoystickGetAttached(joystick)) {
            Fail("device unplugged");
            return 1;
        }
        *reading = ControllerReading{};
        const int axes = SDL_JoystickNumAxes(joystick);
        for (int slot = 0; slot < ControllerAxisSlots && slot < axes; ++slot) {
            const int raw = SDL_JoystickGetAxis(joystick, slot);
            const int scaled = raw * 1000 / 32767;
            reading->axes[slot] = static_cast<int16_t>(scaled < -1000 ? -1000 : (scaled > 1000 ? 1000 : scaled));
        }
        const int hats = SDL_JoystickNumHats(joystick);
        for (int h = 0; h < ControllerMaxHats; ++h) {
            reading->hats[h] = h < hats ? HatDirection(SDL_JoystickGetHat(joystick, h)) : HatCentred;
        }
        const int buttons = SDL_JoystickNumButtons(joystick);
        for (int b = 0; b < ControllerButtonCount && b < buttons; ++b) {
            reading->buttons[b] = SDL_JoystickGetButton(joystick, b) ? 0x80 : 0;
        }
        return 0;
    }

    int IsHaptic(int device) override
    {
        return hapticStarted_ && Valid(device) && joysticks_[device] != nullptr &&
                       SDL_JoystickIsHaptic(joysticks_[device]) == SDL_TRUE
                   ? 1
                   : 0;
    }

    int OpenHaptic(int device) override
    {
        if (!IsHaptic(device)) {
            Fail("no force feedback");
            return 1;
        }
        if (haptics_[device] == nullptr) {
            haptics_[device] = SDL_HapticOpenFromJoystick(joysticks_[device]);
            if (haptics_[device] == nullptr) {
                Remember();
                return 1;
            }
            SDL_Haptic *haptic = haptics_[device];
            if ((SDL_HapticQuery(haptic) & SDL_HAPTIC_AUTOCENTER) != 0) {
                SDL_HapticSetAutocenter(haptic, 0);
            }
            if ((SDL_HapticQuery(haptic) & SDL_HAPTIC_GAIN) != 0) {
                SDL_HapticSetGain(haptic, 100);
            }
        }
        return 0;
    }

    int HapticAxisCount(int device) override
    {
        if (!Valid(device) || haptics_[device] == nullptr) {
            return 0;
        }
        const int axes = SDL_HapticNumAxes(haptics_[device]);
        return axes < 0 ? 0 : axes;
    }

    int CreateConstantEffect(int device, int axes) override
    {
        if (!Valid(device) || haptics_[device] == nullptr ||
            (SDL_HapticQuery(haptics_[device]) & SDL_HAPTIC_CONSTANT) == 0) {
            Fail("constant force not supported");
            return -1;
        }
        SDL_HapticEffect effect = MakeEffect(axes >= 2 ? 1 : 0, 0, 0, 0);
        axes_[device] = axes;
        const int id = SDL_HapticNewEffect(haptics_[device], &effect);
        if (id < 0) {
            Remember();
        }
        return id;
    }

    int UpdateConstantEffect(int device, int effect, int dirX, int dirY, int level) override
    {
        if (!Valid(device) || haptics_[device] == nullptr) {
            return 1;
        }
        SDL_HapticEffect data = MakeEffect(axes_[device] >= 2 ? 1 : 0, dirX, dirY, level);
        if (SDL_HapticUpdateEffect(haptics_[device], effect, &data) != 0) {
            Remember();
            return 1;
        }
        return 0;
    }

    int RunEffect(int device, int effect) override
    {
        if (!Valid(device) || haptics_[device] == nullptr) {
            Fail("device not open");
            return HapticRunFailed;
        }
        if (SDL_HapticRunEffect(haptics_[device], effect, SDL_HAPTIC_INFINITY) != 0) {
            Remember();
            // The system answers "permission denied" for a device another
            // program holds; that is left without a message.
            return std::strstr(error_, "ermission denied") != nullptr ? HapticPermissionDenied : HapticRunFailed;
        }
        return HapticRunOk;
    }

    void CloseHaptic(int device) override
    {
        if (Valid(device) && haptics_[device] != nullptr) {
            SDL_HapticClose(haptics_[device]);
            haptics_[device] = nullptr;
        }
    }

    const char *LastError() override
    {
        return error_;
    }

private:
    static bool Valid(int device)
    {
        return device >= 0 && device < MaxDevices;
    }

    static int32_t HatDirection(Uint8 bits)
    {
        switch (bits) {
        case SDL_HAT_UP: return 0;
        case SDL_HAT_RIGHTUP: return 4500;
        case SDL_HAT_RIGHT: return 9000;
        case SDL_HAT_RIGHTDOWN: return 13500;
        case SDL_HAT_DOWN: return 18000;
        case SDL_HAT_LEFTDOWN: return 22500;
        case SDL_HAT_LEFT: return 27000;
        case SDL_HAT_LEFTUP: return 31500;
        default: return HatCentred;
        }
    }

    static SDL_HapticEffect MakeEffect(int twoAxes, int dirX, int dirY, int level)
    {
        SDL_HapticEffect effect;
        std::memset(&effect, 0, sizeof(effect));
        effect.type = SDL_HAPTIC_CONSTANT;
        effect.constant.direction.type = SDL_HAPTIC_CARTESIAN;
        effect.constant.direction.dir[0] = dirX;
        effect.constant.direction.dir[1] = twoAxes ? dirY : 0;
        effect.constant.length = SDL_HAPTIC_INFINITY;
        long scaled = static_cast<long>(level) * HapticLevelMax / 10000;
        scaled = scaled < -HapticLevelMax ? -HapticLevelMax : (scaled > HapticLevelMax ? HapticLevelMax : scaled);
        effect.constant.level = static_cast<Sint16>(scaled);
        return effect;
    }

    void Remember()
    {
        const char *text = SDL_GetError();
        std::strncpy(error_, text != nullptr ? text : "", sizeof(error_) - 1);
        error_[sizeof(error_) - 1] = '\0';
    }

    void Fail(const char *text)
    {
        std::strncpy(error_, text, sizeof(error_) - 1);
        error_[sizeof(error_) - 1] = '\0';
    }

    bool joystickStarted_ = false;
    bool hapticStarted_ = false;
    SDL_Joystick *joysticks_[MaxDevices] = {};
    SDL_Haptic *haptics_[MaxDevices] = {};
    int axes_[MaxDevices] = {};
    char error_[128] = "";
};

}  // namespace

ControllerBackend *SystemControllerBackend()
{
    static SdlControllerBackend backend;
    return &backend;
}
