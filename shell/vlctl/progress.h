#pragma once

#include <cstdio>
#include <string>

// Shows how far a long run has come: a bar redrawn in place on a terminal, a line for
// every tenth otherwise.
class TProgress {
  public:
    explicit TProgress(std::FILE* out);
    void SetTotal(long total);
    void Update(long done);
    // Ends the bar's line.
    void Finish();

  private:
    void Draw();

    std::FILE* Out;
    bool Terminal;
    long Total = 0;
    long Done = 0;
    int LastShown = -1;
};
