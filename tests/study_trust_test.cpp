// SPDX-License-Identifier: MIT
// What a study must never do in silence: merge two algorithms, lose or
// repeat rows on a full disk, write a run IOHanalyzer cannot read, or let
// damage pass its own check.
#include "program_run.hpp"

#include <objeval/objeval.h>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::scratch_dir;

std::string text_of(fs::path const& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_text(fs::path const& path, std::string const& text) { std::ofstream(path, std::ios::binary) << text; }

std::vector<std::string> lines_of(std::string const& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string joined(std::vector<std::string> const& lines) {
  std::string text;
  for (std::string const& line : lines) text += line + "\n";
  return text;
}

struct check_result {
  std::size_t faults = 0;
  std::string lines;
};

check_result check(fs::path const& folder) {
  check_result result;
  objeval_status const status = objeval_study_check(
      folder.c_str(), [](char const* line, void* to) { static_cast<std::string*>(to)->append(line).append("\n"); },
      &result.lines, &result.faults);
  EXPECT_EQ(status, OBJEVAL_OK) << objeval_last_error();
  return result;
}

// `runs` runs of `count` points each, of `algorithm` on `problem`, seeds 1 up.
void make_runs(fs::path const& folder, char const* algorithm, unsigned options, std::size_t problem, int runs,
               std::size_t count, unsigned first_seed = 1) {
  objeval_study* study = nullptr;
  ASSERT_EQ(objeval_study_open(folder.c_str(), algorithm, "", options | OBJEVAL_ADD_RUNS, &study), OBJEVAL_OK)
      << objeval_last_error();
  std::size_t const d = objeval_problem_at(problem)->dimension;
  for (int r = 0; r < runs; ++r) {
    unsigned const seed = first_seed + static_cast<unsigned>(r);
    std::mt19937 engine(seed);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    std::vector<float> points(count * d), values(count);
    for (float& v : points) v = value(engine);
    objeval_run* run = nullptr;
    ASSERT_EQ(objeval_run_start(study, problem, 0, ("seed=" + std::to_string(seed)).c_str(), &run), OBJEVAL_OK);
    ASSERT_EQ(objeval_run_evaluate(run, points.data(), count, values.data(), 1, nullptr), OBJEVAL_OK);
    ASSERT_EQ(objeval_run_end(run), OBJEVAL_OK) << objeval_last_error();
  }
  objeval_study_close(study);
}

// Each kind of damage to a sound study, done by hand: the check names the
// file at fault, with words that say what is wrong.
struct damage {
  char const* what;
  char const* file;  // under the study, the file damaged and named
  char const* said;
  std::function<void(fs::path const& file)> done;
};

fs::path const every_run1 = "every/data_f2_quadobj/IOHprofiler_f2_DIM50_run1.dat";
fs::path const improving_run1 = "improving/data_f2_quadobj/IOHprofiler_f2_DIM50_run1.dat";

std::vector<damage> const damages = {
    {"a value changed by hand", every_run1.c_str(), "the point's value is",
     [](fs::path const& f) {
       auto lines = lines_of(text_of(f));
       std::size_t const space = lines[3].find(' ', lines[3].find(' ') + 1);
       lines[3] = lines[3].substr(0, lines[3].find(' ')) + " 12.5" + lines[3].substr(space);
       write_text(f, joined(lines));
     }},
    {"a row written twice", every_run1.c_str(), "again",
     [](fs::path const& f) {
       auto lines = lines_of(text_of(f));
       lines.insert(lines.begin() + 4, lines[4]);
       write_text(f, joined(lines));
     }},
    {"evaluations falling back", every_run1.c_str(), "fall back",
     [](fs::path const& f) {
       auto lines = lines_of(text_of(f));
       std::swap(lines[2], lines[3]);
       write_text(f, joined(lines));
     }},
    {"a row cut short", every_run1.c_str(), "fields, not",
     [](fs::path const& f) {
       auto lines = lines_of(text_of(f));
       lines[2].resize(lines[2].rfind(' '));
       write_text(f, joined(lines));
     }},
    {"a best-so-far that rises", improving_run1.c_str(), "rises",
     [](fs::path const& f) {
       auto lines = lines_of(text_of(f));
       lines[2] = lines[2].substr(0, lines[2].find(' ')) + " 1e30" + lines[2].substr(lines[2].find(' ', lines[2].find(' ') + 1));
       write_text(f, joined(lines));
     }},
    {"a last row that is not the run's last evaluation", improving_run1.c_str(), "the last row is evaluation",
     [](fs::path const& f) {
       auto lines = lines_of(text_of(f));
       lines.pop_back();
       write_text(f, joined(lines));
     }},
    {"a run of one row", improving_run1.c_str(), "fewer than two",
     [](fs::path const& f) { write_text(f, joined({lines_of(text_of(f))[0], lines_of(text_of(f))[1]})); }},
    {"a best the data file does not reach", "improving/IOHprofiler_f2_quadobj_run2.json", "the best is",
     [](fs::path const& f) {
       std::string text = text_of(f);
       std::size_t const y = text.find("\"y\": ") + 5;
       write_text(f, text.substr(0, y) + "-1e30" + text.substr(text.find(',', y)));
     }},
    {"a run begun and never ended", "every/data_f2_quadobj/IOHprofiler_f2_DIM50_run9.dat", "never ended",
     [](fs::path const& f) { write_text(f, "evaluations raw_y\n1 2\n"); }},
    {"a seed used twice", "improving/IOHprofiler_f2_quadobj_run2.json", "again",
     [](fs::path const& f) {
       std::string text = text_of(f);
       write_text(f, text.replace(text.find("\"seed\": \"2\""), 11, "\"seed\": \"1\""));
     }},
    {"a run copied", "improving/IOHprofiler_f2_quadobj_run7.json", "instance",
     [](fs::path const& f) { fs::copy_file(f.parent_path() / "IOHprofiler_f2_quadobj_run1.json", f); }},
    {"unequal runs", "", "unequal",
     [](fs::path const& f) { make_runs(f, "improving", OBJEVAL_LOG_POINTS, 1, 1, 5, 3); }},
    {"another JSON file", "every/notes.json", "not JSON",
     [](fs::path const& f) { write_text(f, "these are notes\n"); }},
};

TEST(StudyCheck, PassesASoundStudyAndNamesEachKindOfDamage) {
  scratch_dir dir;
  fs::path const sound = dir / "sound";
  std::size_t const quadobj = objeval_problem_find("quadobj"), doorcost = objeval_problem_find("doorcost");
  for (std::size_t problem : {quadobj, doorcost}) {
    make_runs(sound, "every", OBJEVAL_LOG_EVERY_EVALUATION | OBJEVAL_LOG_POINTS, problem, 2, 20);
    make_runs(sound, "improving", OBJEVAL_LOG_POINTS, problem, 2, 60);
  }
  check_result const clean = check(sound);
  EXPECT_EQ(clean.faults, 0u) << clean.lines;
  EXPECT_NE(clean.lines.find("8 runs of 2 algorithms on 2 problems, "), std::string::npos) << clean.lines;
  for (damage const& d : damages) {
    fs::path const copy = dir / "damaged";
    fs::remove_all(copy);
    fs::copy(sound, copy, fs::copy_options::recursive);
    d.done(copy / d.file);
    check_result const found = check(copy);
    EXPECT_GT(found.faults, 0u) << d.what;
    std::string const named = (std::string(d.file).empty() ? copy : copy / d.file).string() + ": ";
    bool said = false;
    for (std::string const& line : lines_of(found.lines))
      said = said || (line.starts_with(named) && line.find(d.said) != std::string::npos);
    EXPECT_TRUE(said) << d.what << ": no line of " << named << " says \"" << d.said << "\":\n" << found.lines;
  }
}

// Names that differ only where a file name cannot keep them, or in case,
// keep folders of their own, and their runs carry their own name.
TEST(StudyNames, EveryNameKeepsAFolderOfItsOwn) {
  scratch_dir dir;
  std::vector<std::string> const names = {"(1+1) EA", "(1,1) EA", "\xce\xb1", "\xce\xb2", "DE", "de", "random search",
                                          "random_search"};
  for (std::string const& name : names) make_runs(dir.path(), name.c_str(), 0, objeval_problem_find("quadobj"), 1, 5);
  std::size_t folders = 0;
  for (auto const& entry : fs::directory_iterator(dir.path())) {
    ++folders;
    std::string const record = text_of(entry.path() / "objeval-algorithm.txt");
    std::string const meta = text_of(entry.path() / "IOHprofiler_f2_quadobj_run1.json");
    std::string const name = record.substr(record.find("algorithm: ") + 11, record.find("\nrows") - record.find("algorithm: ") - 11);
    EXPECT_NE(meta.find("\"name\": \"" + name + "\""), std::string::npos) << entry.path() << meta;
  }
  EXPECT_EQ(folders, names.size());
  EXPECT_EQ(check(dir.path()).faults, 0u);
  objeval_study* study = nullptr;
  EXPECT_EQ(objeval_study_open(dir.path().c_str(), "caf\xe9", "", 0, &study), OBJEVAL_BAD_ARGUMENT);  // Latin-1
  EXPECT_NE(std::string(objeval_last_error()).find("UTF-8"), std::string::npos);
  ASSERT_EQ(objeval_study_open(dir.path().c_str(), "de", "", OBJEVAL_ADD_RUNS, &study), OBJEVAL_OK);
  objeval_run* run = nullptr;
  EXPECT_EQ(objeval_run_start(study, 0, 0, "note=caf\xe9", &run), OBJEVAL_BAD_ARGUMENT);
  objeval_study_close(study);
  // One algorithm's runs log alike: other rows are refused, naming both.
  EXPECT_EQ(objeval_study_open(dir.path().c_str(), "de", "", OBJEVAL_LOG_POINTS, &study), OBJEVAL_BAD_ARGUMENT);
  EXPECT_NE(std::string(objeval_last_error()).find("points not logged; this study asks for improvements, points logged"),
            std::string::npos)
      << objeval_last_error();
}

// A run of one evaluation is kept apart (IOHanalyzer cannot read it), a run
// of NaNs alone has two rows, a failed run is kept apart and a discarded
// one leaves nothing; the rest loads by IOHanalyzer's rules.
TEST(StudyRuns, EachEndingLeavesWhatIOHanalyzerCanRead) {
  scratch_dir dir;
  objeval_study* study = nullptr;
  ASSERT_EQ(objeval_study_open(dir.path().c_str(), "endings", "", 0, &study), OBJEVAL_OK);
  std::vector<float> const nans(3 * 50, std::nanf("")), zeros(50, 0.0f);
  std::vector<float> values(3);
  objeval_run* run = nullptr;
  auto const started = [&] {
    EXPECT_EQ(objeval_run_start(study, 1, 0, nullptr, &run), OBJEVAL_OK);
    return run;
  };
  objeval_run_evaluate(started(), zeros.data(), 1, values.data(), 1, nullptr);
  EXPECT_EQ(objeval_run_end(run), OBJEVAL_OK);  // run 1: one evaluation
  objeval_run_evaluate(started(), nans.data(), 3, values.data(), 1, nullptr);
  EXPECT_EQ(objeval_run_end(run), OBJEVAL_OK);  // run 2: NaNs alone
  objeval_run_evaluate(started(), nans.data(), 2, values.data(), 1, nullptr);
  EXPECT_EQ(objeval_run_fail(run, "the optimiser threw"), OBJEVAL_OK);  // run 3
  objeval_run_evaluate(started(), nans.data(), 2, values.data(), 1, nullptr);
  EXPECT_EQ(objeval_run_discard(run), OBJEVAL_OK);  // its number is free again
  objeval_study_close(study);
  fs::path const folder = dir / "endings";
  EXPECT_TRUE(fs::exists(folder / "IOHprofiler_f2_quadobj_run1.one-evaluation"));
  EXPECT_EQ(text_of(folder / "data_f2_quadobj/IOHprofiler_f2_DIM50_run2.dat"), "evaluations raw_y\n1 inf\n3 inf\n");
  EXPECT_NE(text_of(folder / "IOHprofiler_f2_quadobj_run3.failed").find("\"failure\": \"the optimiser threw\""),
            std::string::npos);
  EXPECT_FALSE(fs::exists(folder / "data_f2_quadobj/IOHprofiler_f2_DIM50_run4.dat"));
  std::string const command = std::string(OBJEVAL_PYTHON) + " " + STUDY_FORMAT + " " + dir.path().string() +
                              " --runs 1 >/dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  std::string const found = check(dir.path()).lines;
  EXPECT_NE(found.find("run 1 made one evaluation"), std::string::npos) << found;
  EXPECT_NE(found.find("run 3 ended by an exception (the optimiser threw)"), std::string::npos) << found;
}

// A disk that fills in a run and is freed again: the rows that could not be
// written go at the next call, once each and whole; a disk full at a run's
// end leaves that run out, said, and the next one in. On a tmpfs of its own.
TEST(StudyRuns, AFullDiskNeitherRepeatsNorCutsARow) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
  scratch_dir dir;
  fs::path const disk = dir / "disk";
  fs::create_directory(disk);
  pid_t const child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=256k") != 0)
      _exit(77);
    auto const fill = [&] {
      int const fd = open((disk / "filler").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
      char block[4096] = {};
      while (write(fd, block, sizeof block) > 0) {
      }
      close(fd);
    };
    bool good = true;
    auto const expect = [&good](bool ok, char const* what) {
      if (!ok) std::fprintf(stderr, "%s\n", what), good = false;
    };
    objeval_study* study = nullptr;
    expect(objeval_study_open(disk.c_str(), "full", "", OBJEVAL_LOG_EVERY_EVALUATION | OBJEVAL_LOG_POINTS, &study) ==
               OBJEVAL_OK, "open");
    std::vector<float> points(10 * 50), values(10);
    for (std::size_t k = 0; k < points.size(); ++k) points[k] = static_cast<float>(k % 97) / 97.0f - 0.5f;
    objeval_run* run = nullptr;
    expect(objeval_run_start(study, 1, 0, nullptr, &run) == OBJEVAL_OK, "start");
    objeval_run_evaluate(run, points.data(), 10, values.data(), 1, nullptr);
    fill();
    int refused = 0;
    for (int call = 0; call < 5; ++call)
      refused += objeval_run_evaluate(run, points.data(), 10, values.data(), 1, nullptr) == OBJEVAL_CANNOT_WRITE;
    expect(refused > 0, "a full disk was not said");
    fs::remove(disk / "filler");
    objeval_run_evaluate(run, points.data(), 10, values.data(), 1, nullptr);
    expect(objeval_run_end(run) == OBJEVAL_OK, "end after the disk was freed");
    expect(objeval_run_start(study, 1, 0, nullptr, &run) == OBJEVAL_OK, "second start");
    objeval_run_evaluate(run, points.data(), 10, values.data(), 1, nullptr);
    fill();
    expect(objeval_run_end(run) == OBJEVAL_CANNOT_WRITE, "an end on a full disk was not said");
    fs::remove(disk / "filler");
    expect(objeval_run_start(study, 1, 0, nullptr, &run) == OBJEVAL_OK, "third start");
    objeval_run_evaluate(run, points.data(), 10, values.data(), 1, nullptr);
    expect(objeval_run_end(run) == OBJEVAL_OK, "the third end");
    objeval_study_close(study);
    std::vector<std::string> const rows = lines_of(text_of(disk / "full/data_f2_quadobj/IOHprofiler_f2_DIM50_run1.dat"));
    expect(rows.size() == 71, "run 1 has not 70 rows and a header");
    for (std::size_t r = 1; r < rows.size(); ++r) {
      std::istringstream fields(rows[r]);
      std::size_t count = 0, evaluation = 0;
      fields >> evaluation;
      for (std::string field; fields >> field;) ++count;
      if (evaluation != r || count != 51) {
        expect(false, "a row repeated, out of order or cut short");
        break;
      }
    }
    check_result const found = check(disk);
    expect(found.faults == 1 && found.lines.find("run2.dat: a run begun and never ended") != std::string::npos,
           "the check does not find run 2 alone unended");
    _exit(good ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "no tmpfs could be mounted here";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
