# Toolchain for the sanitizer build (scripts/sanitize.sh): clang with
# AddressSanitizer and UndefinedBehaviorSanitizer on every object, so a
# finding anywhere fails the test that reaches it. Everything also carries
# libFuzzer's coverage instrumentation (fuzzer-no-link), so the fuzz targets
# and the tests share one build; only the fuzz targets link libFuzzer itself.
set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)

# -O1 with line tables keeps compiling cheap and reports readable.
set(_waylark_san "-O1 -gline-tables-only -fno-omit-frame-pointer \
-fsanitize=address,undefined -fno-sanitize-recover=undefined \
-fsanitize=fuzzer-no-link")
set(CMAKE_C_FLAGS_INIT "${_waylark_san}")
set(CMAKE_CXX_FLAGS_INIT "${_waylark_san}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fsanitize=address,undefined")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fsanitize=address,undefined")
