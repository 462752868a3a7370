#include "core/core_texts.h"

#include <cstring>

namespace {

struct BuiltInText {
    const char *key;
    const char *text;
};

constexpr BuiltInText BuiltInTexts[] = {
    {"3a_cnocolon", "Could not open file :"},
    {"3a_filenohc", "File failed header check :"},
    {"3a_latervfl", "File was created by a later version :"},
    {"3a_nocrtfil", "Could not create file :"},
    {"3a_engltfmt", "Engine : %.1f litre%s%s%s"},
    {"3a_engccfmt", "Engine : %.0f cc%s%s%s"},
    {"3a_trbochrg", " turbocharged"},
    {"3a_etl_inli", " inline"},
    {"3a_etl_flat", " flat"},
    {"3a_etl_veng", " V"},
    {"3a_etn_1cyl", " single"},
    {"3a_etn_2cyl", " twin"},
    {"3a_etn_3cyl", " triple"},
    {"3a_etn_4cyl", " 4"},
    {"3a_etn_5cyl", " 5"},
    {"3a_etn_6cyl", " 6"},
    {"3a_etn_8cyl", " 8"},
    {"3a_etn10cyl", " 10"},
    {"3a_etn12cyl", " 12"},
    {"3a_etn_qcyl", " ?"},
    {"3a_trqnmlbr", "Torque : %.0f Nm (%.0f lbft) @ %.0f rpm"},
    {"3a_pwrkwbhr", "Power : %.0f kW (%.0f bhp) @ %.0f rpm"},
    {"3a_cpfinish", "FINISHED"},
    {"3a_endoqual", "QUALIFYING OVER"},
    {"3a_dsqulcap", "DISQUALIFIED"},
    {"3a_outnoopn", "Output : Could not open file"},
    {"3a_outnodrv", "Output : Could not find car's driver"},
    {"3a_outstlap", "Output : Started lap"},
    {"3a_outfnlap", "Output : Finished lap"},
    {"3a_outnowrt", "Output : Could not write file"},
    {"3c_cantrset", "Can't reset - %s"},
    {"3c_hitother", "could hit another car"},
    {"3c_hitreset", "could hit a recently reset car"},
    {"3c_yellowfl", "would cause a yellow flag"},
    {"3c_toodangr", "too dangerous"},
    {"3g_entpitln", "ENTERED the pit lane for"},
    {"3g_nopurpos", "no purpose"},
    {"3g_drvthrup", "drive-through penalty"},
    {"3g_stopgopn", "stop-go penalty"},
    {"3g_finrefue", "Finished refuelling : %.1f litres"},
    {"3g_finpitst", "Finished pit stop"},
    {"3h_thisnost", "This car does not have a starter motor"},
    {"3g_notequip", "This car does not have a pit lane speed limiter"},
    {"3g_nospdlim", "There is no speed limit zone on this track"},
    {"3h_thisnotc", "This car does not have traction control"},
};

const char *(*RegisteredLookup)(const char *key) = nullptr;

}  // namespace

const char *LookupText(const char *key)
{
    if (!key) {
        return "";
    }
    if (RegisteredLookup) {
        if (const char *text = RegisteredLookup(key)) {
            return text;
        }
    }
    for (const BuiltInText &entry : BuiltInTexts) {
        if (std::strcmp(entry.key, key) == 0) {
            return entry.text;
        }
    }
    return key;
}

void SetTextLookup(const char *(*lookup)(const char *key))
{
    RegisteredLookup = lookup;
}
