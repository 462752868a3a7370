# Compiler flags shared by every target.
#
# Every program in a race must step the physics bit for bit the same, so the
# float model is pinned: no contraction of a*b+c into fused multiply-adds, no
# fast-math reassociation, and on x86-64 scalar SSE2 arithmetic (never x87).
add_compile_options(-Wall -Wextra -Werror=return-type -ffp-contract=off -fno-fast-math)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64|amd64")
  add_compile_options(-msse2 -mfpmath=sse)
endif()

# The sanitizer tree: AddressSanitizer and UndefinedBehaviorSanitizer, with
# signed overflow and float-to-int overflow checked and every report fatal.
# Built with clang, the libraries also carry libFuzzer's coverage hooks
# (fuzzer-no-link), so the fuzz targets of fuzz/ link against the same
# libraries the tests use.
set(KZV_FUZZ OFF)
if(KZV_SANITIZE)
  set(kzv_sanitizers address,undefined,float-cast-overflow)
  add_compile_options(-fsanitize=${kzv_sanitizers} -fno-sanitize-recover=all -fno-omit-frame-pointer)
  # Light optimisation and line tables only: the sanitizers still see every
  # access and report file and line, while the tests run several times
  # faster and the tree compiles and links in less time than at -O0 -g.
  add_compile_options(-O1 -gline-tables-only)
  add_link_options(-fsanitize=${kzv_sanitizers} -fno-sanitize-recover=all)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    add_compile_options(-fsanitize=fuzzer-no-link)
    # lld links the large sanitized programs in about half the time.
    find_program(KZV_LLD ld.lld)
    if(KZV_LLD)
      add_link_options(-fuse-ld=lld)
    endif()
    set(KZV_FUZZ ON)
  endif()
endif()
