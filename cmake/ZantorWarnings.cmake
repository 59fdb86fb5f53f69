# Strict warnings on our own targets only; toolkit headers come in as SYSTEM.
option(ZANTOR_WERROR "Treat warnings as errors" ON)
option(ZANTOR_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

function(zantor_strict target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
  if(ZANTOR_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

if(ZANTOR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
