#include "app/OptionSettings.h"

void IniOption(OptionSettings &settings)
{
    // Reading Option.ini comes with the settings store.
    Q_UNUSED(settings);
}
