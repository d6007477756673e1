#pragma once
// A pseudo-terminal for tests: the slave is what the port opens (published
// as a COM name in a port map of the test's own), the master is the far side.
#include <string>

class TestPty {
 public:
  TestPty();   // throws std::system_error
  ~TestPty();
  TestPty(const TestPty&) = delete;
  TestPty& operator=(const TestPty&) = delete;

  int Master() const { return master_; }
  const std::string& SlavePath() const { return slavePath_; }
  void WriteAll(const std::string& bytes);  // to the master (the port receives it)
  // Writes what the line takes now, without waiting; the count written.
  size_t WriteSome(const std::string& bytes);
  std::string ReadSome(int timeoutMs);       // from the master (what the port sent)
  void CloseMaster();                        // the far side vanishes

 private:
  int master_ = -1;
  int slave_ = -1;  // kept open so the line stays up between the port's opens
  std::string slavePath_;
};

// Points XDG_CONFIG_HOME at a fresh temporary directory for the object's
// lifetime, so port maps are the test's own.
class TempConfigHome {
 public:
  TempConfigHome();
  ~TempConfigHome();
  const std::string& Path() const { return dir_; }

 private:
  std::string dir_;
  std::string old_;
  bool hadOld_ = false;
};
