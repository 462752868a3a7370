#pragma once

// The fixed set of textures that exists whenever the device exists, the
// render-target textures and the menus' full-screen background picture.

// Builds the standard set. Called at graphics start and after the device is
// made again. Returns non-zero on success.
int LoadStandardTextures();

// The full-screen background picture of the menus by name (data\pic, file
// "bkg_<name>.jpg"); null or "" clears it. The same name again keeps the
// picture that is loaded.
void SetBackgroundPicture(const char *name);

// 2 after a display-mode change: the next ResetRenderTextures also releases
// the shadow textures. 0 otherwise.
extern int RenderTextureState;

// Outside a scene: clears the render-target textures, releases the shadow
// textures after a display-mode change, and clears TextureRefreshRequest.
void ResetRenderTextures();
