# HDR: flat (not run-length encoded) pixels are read four bytes at a time into
# a stack array, and a read that runs out of file leaves the array as it was:
# the pixels past the end of the file came from uninitialised stack memory.
# Zeroing the array first makes each missing pixel black (exponent 0).
set(patch_header stb_image.h)
set(patch_original [=[
           main_decode_loop:
            stbi__getn(s, rgbe, 4);
]=])
set(patch_replacement [=[
           main_decode_loop:
            memset(rgbe, 0, sizeof rgbe);
            stbi__getn(s, rgbe, 4);
]=])
