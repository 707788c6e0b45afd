# PIC: when the packet header or the packet data ends early, the decoder
# frees its buffer and then still converts it to the requested channel count:
# with 3 channels the conversion reads through the NULL pointer, and when the
# header broke before the channel count was known, the count it converts to
# is 0 (stb_image's assertion on the count). Returning at once ends the decode
# with the reason the packet reader has already set.
set(patch_header stb_image.h)
set(patch_original [=[
   if (!stbi__pic_load_core(s,x,y,comp, result)) {
      STBI_FREE(result);
      result=0;
   }
]=])
set(patch_replacement [=[
   if (!stbi__pic_load_core(s,x,y,comp, result)) {
      STBI_FREE(result);
      return 0;
   }
]=])
