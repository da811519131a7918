#pragma once
// Temporary folders and whole-file helpers for tests.
//
//   TempDir dir;                                  // a fresh folder under $TMPDIR or /tmp
//   ASSERT_TRUE(dir.ok());
//   writeFile(dir.file("show.s01e02.mkv"), "");
//   ...                                           // removed with everything in it at scope end
//
// Removal also copes with folders a test made read-only: they are made writable first.

#include <optional>
#include <string>

class TempDir {
  public:
    // Creates the folder "<prefix>-XXXXXX" under $TMPDIR (default /tmp). On failure ok() is
    // false and path() is empty.
    explicit TempDir(const std::string& prefix = "vantel-test");
    // Removes the folder and everything below it; a failure is ignored.
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool ok() const { return !m_path.empty(); }
    const std::string& path() const { return m_path; }

    // Returns path() + "/" + relative; creates nothing.
    std::string file(const std::string& relative) const;
    // Creates the folder relative (with its parents) and returns its path; "" on failure.
    std::string makeDir(const std::string& relative) const;

  private:
    std::string m_path;
};

// Replaces the content of the file at path (created with mode 0644). False on any failure.
bool writeFile(const std::string& path, const std::string& content);

// Returns the whole content of the file at path, or nullopt when it cannot be read.
std::optional<std::string> readFile(const std::string& path);

// Removes path and everything below it, making folders writable first where needed. True when
// nothing is left (also when nothing was there).
bool removeTree(const std::string& path);
