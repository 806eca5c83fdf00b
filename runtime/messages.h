#pragma once
// Texts shared by the window and the command line when they report.
#include <string>
#include <string_view>

namespace dw {

// The program's title from its file name: folder dropped, cut at the first
// ".", the first character a capital and every other in lower case
// ("TESTER.EXE" and "tester.exe" → "Tester").
std::string ApplicationTitle(std::string_view programPath);

// The text the error box shows for an error message: a "." is appended when
// the message is not empty and its last byte sorts after "." (so "!" and ")"
// stay as they are, "?" gains one).
std::string ErrorBoxText(std::string_view message);

class RuntimeError;
// The line the command line prints for a runtime error: the error box's
// text, and for a file error the file in front and the system's English
// text after it ("fst.txt: Erreur E/S 28. (No space left on device)").
std::string CommandLineErrorText(const RuntimeError& error);

}  // namespace dw
