// The settings file's place in start-up and close.
#include "app/main_window.h"

// The settings file arrives with the settings commands; until then start-up
// applies nothing and closing writes nothing.
void TForm1::LoadSettingsAtStartup() {}

void TForm1::SaveSettingsOnClose() {}
