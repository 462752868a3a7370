#pragma once

// Texts of the core services that the user may see, by translation key.
// Until the translation layer registers its lookup the English texts are
// used; afterwards a key the lookup does not know still falls back to them.

// Returns the text of a key: the registered lookup's, else the built-in
// English one, else the key itself. The result stays valid for the life of
// the program (or of the lookup's table).
const char *LookupText(const char *key);

// The translation layer's lookup: the text of a key, or null when it has
// none. Null unregisters it.
void SetTextLookup(const char *(*lookup)(const char *key));
