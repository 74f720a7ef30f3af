/* giflib-gifinfo FILE...: the work of lumivo-gifinfo done with giflib's DGifSlurp, printing
 * the same line per file (screen size, each image's place, size, flags, delay and the
 * FNV-1a 64-bit hash of its colour indices), so that the two can be timed as whole
 * processes and their output compared. A benchmark reference only. */

#include <gif_lib.h>

#include <inttypes.h>
#include <stdio.h>

static uint64_t PixelHash(const SavedImage* image)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    const long count = (long)image->ImageDesc.Width * image->ImageDesc.Height;
    for (long i = 0; i < count; ++i) {
        hash ^= image->RasterBits[i];
        hash *= 0x100000001b3ull;
    }
    return hash;
}

int main(int argc, char* argv[])
{
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        int error = 0;
        GifFileType* gif = DGifOpenFileName(argv[i], &error);
        if (!gif || DGifSlurp(gif) != GIF_OK) {
            printf("%s error %s\n", argv[i], GifErrorString(gif ? gif->Error : error));
            if (gif)
                DGifCloseFile(gif, &error);
            status = 1;
            continue;
        }
        printf("%s ok %dx%d images=%d", argv[i], gif->SWidth, gif->SHeight, gif->ImageCount);
        for (int n = 0; n < gif->ImageCount; ++n) {
            const SavedImage* image = &gif->SavedImages[n];
            GraphicsControlBlock gcb;
            const int hasGcb = DGifSavedExtensionToGCB(gif, n, &gcb) == GIF_OK;
            printf(" [%d,%d %dx%d i=%d l=%d d=%d h=%016" PRIx64 "]", image->ImageDesc.Left, image->ImageDesc.Top,
                   image->ImageDesc.Width, image->ImageDesc.Height, image->ImageDesc.Interlace ? 1 : 0,
                   image->ImageDesc.ColorMap ? 1 : 0, hasGcb ? gcb.DelayTime : -1, PixelHash(image));
        }
        printf("\n");
        DGifCloseFile(gif, &error);
    }
    return status;
}
