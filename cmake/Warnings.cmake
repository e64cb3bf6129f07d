# Applied to every target of ours (not to third-party code pulled in with add_subdirectory).
function(dravelon_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow=local -Wno-unused-parameter)
endfunction()

set(DRAVELON_SANITIZE_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
