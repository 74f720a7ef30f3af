#pragma once

// The toolkit's own texts (file dialogs, message box buttons) in Russian, as the rest of the
// program: Qt's Russian translations, the few texts they lack, and Russian as the default
// locale for what the toolkit formats (sizes, file types, dates in the file dialogs). The
// system locale stays the user's own (the clock follows it).
void InstallToolkitTexts();
