#pragma once

#include <QImage>

// The picture made smaller to fit `size`, every pixel the average of the area it covers,
// so that fine patterns do not turn into moiré; a picture that fits is returned as it is.
QImage AreaScaled(const QImage& picture, const QSize& size);
