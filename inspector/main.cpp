// monolook: reports the BMP headers of intelww4.bmp, lists its pixel bytes in
// hexadecimal, draws the picture with full blocks and signs it.
#include <cstdint>
#include <cstdio>
#include <optional>

#include "bitmap.h"
#include "character_art.h"
#include "console_output.h"
#include "memory_listing.h"

namespace {

constexpr const char* InputPath = "intelww4.bmp";

constexpr int kFailure = -1;
constexpr int kCloseFailure = -2;

// Prints a message that ends without a line break and leaves it standing on the
// console until the user answers with one character (or input ends).
int FailAndWait(const char* message, int status) {
  std::printf("%s", message);
  (void)std::fflush(stdout);
  (void)std::getchar();  // any key, or the end of input, ends the wait
  return status;
}

int CannotOpen() { return FailAndWait("Chyba soubor nelze otevrit...Program bude ukoncen", kFailure); }

int Refuse(BitmapCheck check) {
  if (check == BitmapCheck::NotMonochromeBmp) {
    return FailAndWait("Chyba soubor neni jednobitovy nekomprimovany BMP...Program bude ukoncen", kFailure);
  }
  return FailAndWait("Chyba soubor je poskozeny nebo zkraceny...Program bude ukoncen", kFailure);
}

int Signed(std::uint32_t value) { return static_cast<int>(static_cast<std::int32_t>(value)); }

void PrintReport(const BitmapFileHeader& fileHeader, const BitmapInfoHeader& infoHeader) {
  std::printf("Informace o obrazku:\n\n");
  std::printf("Nazev obrazku: %s\n", InputPath);
  std::printf("Velikost: %d byte\n", Signed(fileHeader.fileSize));
  std::printf("Rozliseni(px): %d x %d\n", Signed(infoHeader.width), Signed(infoHeader.height));
  std::printf("Offset dat: %d\n", Signed(fileHeader.pixelOffset));
  std::printf("Barevna hloubka: %d\n", static_cast<int>(infoHeader.planes));
  std::printf("Pocet bitu na pixel: %d\n", static_cast<int>(infoHeader.bitsPerPixel));
}

}  // namespace

int main() {
  SetUpConsole();
  std::FILE* fr = OpenPicture(InputPath);
  if (fr == nullptr) return CannotOpen();

  BitmapFileHeader fileHeader2;
  BitmapInfoHeader fileHeader3;
  const HeaderRead headerRead = ReadHeaders(fr, fileHeader2, fileHeader3);
  // A file that cannot be read, or cannot be measured (a pipe, say), cannot be checked.
  const std::optional<std::uint64_t> length = FileLength(fr);
  if (headerRead == HeaderRead::ReadError || !length) {
    // On a path that already failed, a failure to close adds nothing to tell.
    (void)std::fclose(fr);
    return CannotOpen();
  }
  // The report shows whatever the headers say, so a refused file shows its wrong field.
  if (headerRead == HeaderRead::Whole && HasBmpSignature(fileHeader2)) PrintReport(fileHeader2, fileHeader3);

  const BitmapCheck check = CheckBitmap(headerRead, fileHeader2, fileHeader3, *length);
  if (check != BitmapCheck::Accepted) {
    (void)std::fclose(fr);
    return Refuse(check);
  }

  PixelBuffer pixels;
  const LoadResult load = LoadPixels(fr, fileHeader2, PixelDataSize(fileHeader3), pixels);
  if (load == LoadResult::NoMemory) {
    (void)std::fclose(fr);
    std::printf("Chyba nedostatek pameti...Program bude ukoncen");
    return kFailure;
  }
  if (load == LoadResult::Damaged) {
    (void)std::fclose(fr);
    return Refuse(BitmapCheck::Damaged);
  }

  std::printf("\nVypis pameti:\n");
  MemoryListing(stdout, pixels.data, pixels.size);
  std::printf("\n");
  const bool drawn = CharacterArt(stdout, pixels.data, pixels.size, fileHeader3, kFullBlockGlyph);
  pixels.Release();
  if (!drawn) {
    // The picture passed every check yet could not be drawn: no success.
    (void)std::fclose(fr);
    return kFailure;
  }

  std::printf("\nAutor: Bc. Bremik Sotnar  - K52R7716T\n\n");

  if (std::fclose(fr) != 0) return FailAndWait("Chyba nelze uzavrit soubor...", kCloseFailure);
  // Output that could not be written (a full disk, say) is no success; there is
  // nowhere left to say so, so the status alone tells.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) return kFailure;
  return 0;
}
