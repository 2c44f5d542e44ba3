// Message boxes and the host's message catalogue.
#pragma once

#include "fennix/testing.h"

#include <string>

namespace fennix::detail {

// The catalogue text of `number` with its placeholders, or empty.
std::string CatalogueEntry(int number);
// Whether the catalogue message asks a question (shown with Yes/No).
bool CatalogueAsks(int number);
// Fills each "%s" of `text`, in order, with the next argument; the arguments
// are joined by the character of code 1. Missing arguments leave nothing;
// surplus arguments are dropped.
std::string FillArguments(const std::string& text, const std::string& arguments);
// The text of catalogue message `number`, filled; an unknown number gives a
// text that names it.
std::string CatalogueMessage(int number, const std::string& arguments);

// Shows a message (interactive) or records it, and returns the answer: 1 for
// OK/yes, 0 for no.
int ShowMessage(MessageKind kind, int number, const std::string& text, const std::string& arguments,
                bool asks);

} // namespace fennix::detail
