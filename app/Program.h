#pragma once
// The program from the single-instance guard to the destruction of its
// windows; main() adds only the application object. Returns the exit code:
// 0 when the operator ended it or a second instance was refused, 1 when this
// Qt cannot decode the receiver's code page.
int RunProgram();
