#include "settings/run_settings.h"

RunSettings runSettings;
