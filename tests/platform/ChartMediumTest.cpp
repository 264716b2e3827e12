// Finding the chart CD's files for a program that does not run from the CD.
#include "ChartMedium.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "LinuxVolumes.h"
#include "TempDir.h"
#include "Volumes.h"

namespace fs = std::filesystem;

namespace {

struct TMount {
  const char* Folder;      // below the test folder
  const char* FileSystem;  // as the mount table names it
};

// A mount table of the given volumes, in this order, over folders of Base
// (a path without symbolic links, as the kernel's table has them).
std::string MountTable(const std::string& Base, const std::vector<TMount>& Mounts) {
  const std::string table = Base + "/mountinfo";
  std::ofstream out(table);
  out << "1 0 0:1 / / rw - ext4 /dev/root rw\n";
  int id = 2;
  for (const TMount& m : Mounts) {
    fs::create_directories(Base + "/" + m.Folder);
    out << id << " 1 0:" << id << " / " << Base << "/" << m.Folder << " rw - " << m.FileSystem
        << " /dev/x" << id << " rw\n";
    ++id;
  }
  return table;
}

void Touch(const std::string& Name) {
  fs::create_directories(fs::path(Name).parent_path());
  std::ofstream(Name) << "x";
}

}  // namespace

TEST(ChartMedium, ArchivesAreFilesEndingInZraOfAnyCase) {
  TempDir dir;
  struct Row {
    const char* name;
    bool directory;
    bool holds;
  };
  const Row rows[] = {
      {"1801_120.zra", false, true}, {"NNZK_240.ZRA", false, true}, {"1801.zrn", false, false},
      {"old.zra", true, false},      {".zra", false, false},
  };
  for (const Row& r : rows) {
    fs::remove_all(dir / "Charts");
    fs::create_directories(dir / "Charts");
    if (r.directory)
      fs::create_directories(dir / (std::string("Charts/") + r.name));
    else
      Touch(dir / "Charts/" + r.name);
    EXPECT_EQ(HoldsChartArchives(dir.Path()), r.holds) << r.name;
  }
  fs::remove_all(dir / "Charts");
  Touch(dir / "Charts");  // a file, not a folder
  EXPECT_FALSE(HoldsChartArchives(dir.Path()));
}

TEST(ChartMedium, TheFirstVolumeWithArchivesServesAProgramOutsideTheCd) {
  TempDir dir;
  const std::string base = fs::canonical(dir.Path()).string();
  auto at = [&base](const std::string& name) { return base + "/" + name; };
  const std::string table = MountTable(base, {{"empty", "ext4"},
                                              {"auto", "autofs"},
                                              {"no-archives", "iso9660"},
                                              {"cd1", "iso9660"},
                                              {"cd2", "udf"}});
  fs::create_directories(at("bin"));
  Touch(at("no-archives/Charts/readme.txt"));
  Touch(at("auto/Charts/1801_120.zra"));  // an automounter's folder is not looked into
  Touch(at("cd1/Charts/1801_120.zra"));
  Touch(at("cd2/Charts/1803_240.zra"));
  TLinuxVolumes volumes(table);
  TScopedVolumes use(volumes);

  EXPECT_EQ(ChartMediumFolder(at("bin")), at("cd1/"));
  // The program on a CD of its own keeps its folder, with or without archives.
  fs::create_directories(at("bin/Charts"));
  EXPECT_EQ(ChartMediumFolder(at("bin/")), at("bin/"));
  fs::remove_all(at("bin/Charts"));
  // The next volume in the table's order, then none: the program's own folder.
  fs::remove_all(at("cd1/Charts"));
  EXPECT_EQ(ChartMediumFolder(at("bin")), at("cd2/"));
  fs::remove_all(at("cd2/Charts"));
  EXPECT_EQ(ChartMediumFolder(at("bin")), at("bin/"));
}
