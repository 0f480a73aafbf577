// The one application object, constructed before the entry point runs.
#include "VelmorApp.h"

VelmorApp theApp;
