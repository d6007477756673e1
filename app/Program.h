#pragma once
// The program from the single-instance guard to the destruction of its
// windows; main() adds only the application object. Returns the exit code,
// 0 in both outcomes (second instance refused, or ended by the operator).
int RunProgram();
