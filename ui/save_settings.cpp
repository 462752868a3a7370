#include "ui/save_settings.h"

#include "core/card_config.h"
#include "core/config_file.h"
#include "core/player_file.h"
#include "ui/interface_colours.h"

void SaveSettings()
{
    WriteConfigFile();
    WriteCardConfig();
    SaveInterfaceColours();
    WritePlayerFile();
}
