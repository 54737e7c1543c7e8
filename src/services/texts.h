// Marks a text for the translation template where it is stored, not shown;
// it passes through the translator where it is used.
#pragma once

#define N_(text) text
