# Compiler flags shared by every target.
#
# Every program in a race must step the physics bit for bit the same, so the
# float model is pinned: no contraction of a*b+c into fused multiply-adds, no
# fast-math reassociation, and on x86-64 scalar SSE2 arithmetic (never x87).
add_compile_options(-Wall -Wextra -Werror=return-type -ffp-contract=off -fno-fast-math)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64|amd64")
  add_compile_options(-msse2 -mfpmath=sse)
endif()

if(KZV_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
