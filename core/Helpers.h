#pragma once

// Where the program finds the helper programs it starts (the metafile helper, the clip
// process): the one named in `variable` if set (tests and benchmarks), else beside the
// program (a build folder), else in ../libexec/lumivo/ from it (an installed program), else
// on the PATH. Empty when there is none.

#include <QString>

QString HelperPath(const char* variable, const QString& name);
