# -DTUNALYX_SANITIZE=ON builds everything with AddressSanitizer and UndefinedBehaviorSanitizer.
option(TUNALYX_SANITIZE "Build with -fsanitize=address,undefined" OFF)
if(TUNALYX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

# -DTUNALYX_SANITIZE_THREAD=ON builds everything with ThreadSanitizer (the live-data worker and
# the windows that read what it logs).
option(TUNALYX_SANITIZE_THREAD "Build with -fsanitize=thread" OFF)
if(TUNALYX_SANITIZE_THREAD)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
