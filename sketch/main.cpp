// monosketch: draws the one-bit picture intelww4.bmp with "@" characters.
#include <cstdint>
#include <cstdio>
#include <optional>

#include "bitmap.h"
#include "character_art.h"
#include "console_output.h"

namespace {

// The picture's fixed place: the project folder on the Windows machine the
// program is made for; elsewhere the working directory.
#if defined(_WIN32)
constexpr const char* InputPath =
    "C:\\Users\\trebl\\Documents\\Visual Studio 2013\\Projects\\monosketch\\Debug\\intelww4.bmp";
#else
constexpr const char* InputPath = "intelww4.bmp";
#endif

constexpr int kFailure = -1;

int Report(const char* first, const char* second) {
  std::printf("%s", first);
  std::printf("%s", second);
  return kFailure;
}

int ReportCannotOpen() { return Report("Soubor neni mozne otevrit.\n", "\nZkontrolujte soubor.\n"); }

int ReportRefusal(BitmapCheck check) {
  if (check == BitmapCheck::NotMonochromeBmp) {
    return Report("Soubor neni jednobitovy nekomprimovany BMP.\n", "\nZkontrolujte soubor.\n");
  }
  return Report("Soubor je poskozeny nebo zkraceny.\n", "\nZkontrolujte soubor.\n");
}

}  // namespace

int main() {
  SetUpConsole();
  std::FILE* fr = OpenPicture(InputPath);
  if (fr == nullptr) return ReportCannotOpen();

  BitmapFileHeader hs1;
  BitmapInfoHeader hs2;
  const HeaderRead headerRead = ReadHeaders(fr, hs1, hs2);
  // A file that cannot be read, or cannot be measured (a pipe, say), cannot be checked.
  const std::optional<std::uint64_t> length = FileLength(fr);
  if (headerRead == HeaderRead::ReadError || !length) {
    // On a path that already failed, a failure to close adds nothing to tell.
    (void)std::fclose(fr);
    return ReportCannotOpen();
  }
  const BitmapCheck check = CheckBitmap(headerRead, hs1, hs2, *length);
  if (check != BitmapCheck::Accepted) {
    (void)std::fclose(fr);
    return ReportRefusal(check);
  }

  PixelBuffer pixels;
  const LoadResult load = LoadPixels(fr, hs1, PixelDataSize(hs2), pixels);
  if (load != LoadResult::Loaded) {
    (void)std::fclose(fr);
    if (load == LoadResult::NoMemory) return Report("Pamet neni dostatecna\n", "Program musi byt ukoncen\n");
    return ReportRefusal(BitmapCheck::Damaged);
  }

  const bool drawn = CharacterArt(stdout, pixels.data, pixels.size, hs2, "@");
  pixels.Release();
  if (!drawn) {
    // The picture passed every check yet could not be drawn: no success.
    (void)std::fclose(fr);
    return kFailure;
  }

  if (std::fclose(fr) != 0) return Report("Soubor neuzavren\n", "Provedte kontrolu\n");
  // Output that could not be written (a full disk, say) is no success; there is
  // nowhere left to say so, so the status alone tells.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) return kFailure;
  return 0;
}
