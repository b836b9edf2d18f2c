// Allocation and close failures of both programs, forced by preloading a shim
// into the real programs (the files alone cannot cause them).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "bmp_fixture.h"
#include "program_runner.h"
#include "inspection.h"
#include "programs.h"
#include "reference_reading.h"

namespace {

// A 2048 x 2048 picture: its 512 KiB pixel buffer is far larger than any other
// allocation the programs make, so refusing blocks above 256 KiB hits it alone.
Bytes LargePicture() {
  BmpFields fields;
  fields.width = 2048;
  fields.height = 2048;
  return BuildBmp(fields, Bytes(std::size_t{256} * 2048, 0x0F));
}

Environment NoMemory() { return WithShim("MONO_FAIL_MALLOC_ABOVE", "262144"); }
Environment CloseFails() { return WithShim("MONO_FAIL_FCLOSE", "1"); }

TEST(AllocationFailure, SketchPrintsItsTwoLines) {
  TempFolder folder;
  folder.Write(kImage, LargePicture());
  const RunResult r = RunProgram(kMonosketch, folder.Path(), "", NoMemory());
  EXPECT_EQ(r.out, sketch_text::kNoMemory);
  EXPECT_EQ(r.status, 255);
}

TEST(AllocationFailure, InspectorPrintsTheReportThenTheMessageWithoutWaiting) {
  TempFolder folder;
  folder.Write(kImage, LargePicture());
  Program look(kMonolook, folder.Path(), NoMemory());
  const bool ended = look.EndsWithin(10);  // input stays open: a wait would keep it running
  const RunResult r = look.Finish(10);
  EXPECT_TRUE(ended) << "no key is awaited after an allocation failure";
  EXPECT_EQ(r.out,
            "Informace o obrazku:\n\nNazev obrazku: intelww4.bmp\nVelikost: 524350 byte\n"
            "Rozliseni(px): 2048 x 2048\nOffset dat: 62\nBarevna hloubka: 1\nPocet bitu na pixel: 1\n" +
                look_text::kNoMemory);
  EXPECT_EQ(r.status, 255);
}

// Pixel arrays of 2 MiB and more are allocated on huge-page boundaries; running
// out of memory there is reported the same way.
TEST(AllocationFailure, PicturesOfMegabytesToo) {
  BmpFields fields;
  fields.width = 4096;
  fields.height = 4096;
  TempFolder folder;
  folder.Write(kImage, BuildBmp(fields, Bytes(std::size_t{512} * 4096, 0xA5)));
  const RunResult r = RunProgram(kMonosketch, folder.Path(), "", NoMemory());
  EXPECT_EQ(r.out, sketch_text::kNoMemory);
  EXPECT_EQ(r.status, 255);
}

TEST(AllocationFailure, ShimLeavesSmallPicturesAlone) {
  TempFolder folder;
  folder.Write(kImage, BmpOfArt({"#..#", ".##."}));
  const RunResult r = RunProgram(kMonosketch, folder.Path(), "", NoMemory());
  EXPECT_EQ(r.out, "@  @\n @@ \n");
  EXPECT_EQ(r.status, 0);
}

TEST(CloseFailure, SketchDrawsThenReports) {
  TempFolder folder;
  folder.Write(kImage, Sample());
  const RunResult r = RunProgram(kMonosketch, folder.Path(), "", CloseFails());
  EXPECT_EQ(r.out, reference::Drawing(Sample(), "@") + sketch_text::kNotClosed);
  EXPECT_EQ(r.status, 255);
}

TEST(CloseFailure, InspectorPrintsEverythingThenWaits) {
  TempFolder folder;
  folder.Write(kImage, Sample());
  Program look(kMonolook, folder.Path(), CloseFails());
  EXPECT_TRUE(look.WaitsAfter(look_text::kNotClosed, 10)) << "waits for a key after the message";
  look.Send("x");
  const RunResult r = look.Finish(10);
  const std::string& out = r.out;
  const std::string tail = reference::Drawing(Sample(), kBlock) + look_text::kAuthor + look_text::kNotClosed;
  ASSERT_GE(out.size(), tail.size());
  EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
  EXPECT_EQ(out.rfind("Informace o obrazku:\n", 0), 0U);
  EXPECT_NE(out.find("\nVypis pameti:\nMemory starting at 0x"), std::string::npos);
  EXPECT_EQ(r.status, 254);
}

}  // namespace

namespace {

// A drawing that fails, after the checks have passed, is no success: the programs end
// with status 255, monolook without its author line.
TEST(DrawingFailure, IsNoSuccess) {
  TempFolder folder;
  folder.Write(kImage, Sample());
  const RunResult sketch = RunProgram(kMonosketchDrawingFails, folder.Path());
  EXPECT_EQ(sketch.out, "");
  EXPECT_EQ(sketch.status, 255);
  const RunResult look = RunProgram(kMonolookDrawingFails, folder.Path());
  EXPECT_EQ(inspection::Masked(look.out), inspection::Report(Sample()) + inspection::Listing(Sample()));
  EXPECT_EQ(look.status, 255);
}

// Both programs draw under a stack limit of 64 KiB (`cat` runs under 16 KiB): the sample,
// and a picture whose every row is more output than that, so the drawing fills its
// block of output again and again.
TEST(SmallStack, BothProgramsDrawUnderA64KiBLimit) {
  constexpr std::size_t kStackBytes = std::size_t{64} * 1024;
  Art wide(3, std::string(70001, '.'));
  for (std::size_t y = 0; y < wide.size(); ++y) {
    for (std::size_t x = y; x < wide[y].size(); x += 7) wide[y][x] = '#';
  }
  const Bytes pictures[] = {Sample(), BmpOfArt(wide)};
  for (const Bytes& file : pictures) {
    TempFolder folder;
    folder.Write(kImage, file);
    Program sketch(Command{kMonosketch}, folder.Path(), {}, nullptr, kStackBytes);
    const RunResult drawn = sketch.Finish(30);
    EXPECT_EQ(drawn.status, 0) << "monosketch on " << file.size() << " bytes";
    EXPECT_TRUE(drawn.out == reference::Drawing(file, "@")) << "monosketch on " << file.size() << " bytes";
    Program look(Command{kMonolook}, folder.Path(), {}, nullptr, kStackBytes);
    const RunResult looked = look.Finish(30);
    EXPECT_EQ(looked.status, 0) << "monolook on " << file.size() << " bytes";
    EXPECT_TRUE(inspection::Masked(looked.out) == inspection::Inspection(file)) << "monolook on " << file.size()
                                                                                 << " bytes";
  }
}

// Runs `program` in `folder` with standard output going to a full device.
int StatusWritingToFullDevice(const std::string& program, const TempFolder& folder) {
  const std::string command =
      "cd '" + folder.Path().string() + "' && '" + program + "' > /dev/full 2>/dev/null < /dev/null";
  // The shell makes the redirections; the command holds only the test's own paths.
  const int raw = std::system(command.c_str());  // NOLINT(cert-env33-c)
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// A 1000 x 100 picture: monolook lists its 12,800 pixel bytes in one write of the
// listing; drawing it takes more than one.
Bytes WidePicture() {
  Art art(100, std::string(1000, '.'));
  for (std::size_t y = 0; y < art.size(); ++y) {
    for (std::size_t x = 0; x < art[y].size(); ++x) {
      if ((x * 7 + y * 13) % 11 < 4) art[y][x] = '#';
    }
  }
  return BmpOfArt(art);
}

// The first write to standard output fails and the later ones succeed: the final
// flush then succeeds, but what was lost must still show in the status.
TEST(OutputFailure, AWriteThatFailsOnceIsNoSuccess) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "this system has no /dev/full";
  TempFolder folder;
  const Bytes file = WidePicture();
  folder.Write(kImage, file);
  const Environment firstWriteFails = WithShim("MONO_FAIL_STDOUT_FWRITE", "1");

  // monolook's first is the listing: it and the report before it are lost.
  const RunResult look = RunProgram(kMonolook, folder.Path(), "", firstWriteFails);
  EXPECT_EQ(look.out, "\n" + reference::Drawing(file, kBlock) + look_text::kAuthor);
  EXPECT_EQ(look.status, 255);

  // monosketch's first is the top of the drawing; the rest of it arrives.
  const std::string drawing = reference::Drawing(file, "@");
  const RunResult sketch = RunProgram(kMonosketch, folder.Path(), "", firstWriteFails);
  EXPECT_FALSE(sketch.out.empty());
  EXPECT_LT(sketch.out.size(), drawing.size());
  EXPECT_TRUE(drawing.ends_with(sketch.out)) << "the drawing from where the failed write ended";
  EXPECT_EQ(sketch.status, 255);
}

TEST(OutputFailure, UnwrittenPictureIsNoSuccess) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "this system has no /dev/full";
  TempFolder folder;
  folder.Write(kImage, Sample());
  EXPECT_EQ(StatusWritingToFullDevice(kMonosketch, folder), 255);
  EXPECT_EQ(StatusWritingToFullDevice(kMonolook, folder), 255);
}

}  // namespace
