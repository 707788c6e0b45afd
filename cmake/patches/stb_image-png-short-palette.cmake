# PNG: the palette is a 256-entry stack array of which only the entries the
# PLTE chunk holds are filled, and the expansion copies palette[index] for
# every pixel without checking the index against the entry count, so an
# index past the palette copied uninitialised stack memory into the image.
# Starting from an all-zero palette makes such pixels black (and
# transparent where the image has a tRNS chunk).
set(patch_header stb_image.h)
set(patch_original [=[
   stbi_uc palette[1024], pal_img_n=0;
]=])
set(patch_replacement [=[
   stbi_uc palette[1024] = {0}, pal_img_n=0;
]=])
