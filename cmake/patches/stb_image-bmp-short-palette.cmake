# BMP: the palette is a 256-entry stack array of which only the entries the
# file holds are filled; a pixel index past them read uninitialised stack
# memory. Starting from an all-zero palette makes such pixels black.
set(patch_header stb_image.h)
set(patch_original [=[
   stbi_uc pal[256][4];
   int psize=0,i,j,width;
]=])
set(patch_replacement [=[
   stbi_uc pal[256][4] = {{0}};
   int psize=0,i,j,width;
]=])
