# -DTUNALYX_SANITIZE=ON builds everything with AddressSanitizer and UndefinedBehaviorSanitizer.
option(TUNALYX_SANITIZE "Build with -fsanitize=address,undefined" OFF)
if(TUNALYX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
