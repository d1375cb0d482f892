# The fuzz targets: each is fuzz/<Name>Fuzzer.cpp with its seed corpus in
# fuzz/corpus/<target>/, built from just the sources its reader needs.
set(ORVANE_FUZZ_TARGETS wave_format cart_chunk bext_chunk csv_file transport_zip accuraterip_record)

if(NOT PROJECT_NAME STREQUAL "orvane_fuzz")
  return()
endif()

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
find_package(Qt6 6.4 REQUIRED COMPONENTS Core)
get_filename_component(root ${CMAKE_CURRENT_SOURCE_DIR} DIRECTORY)

set(sanitizers address,undefined)
add_compile_options(-g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,${sanitizers}
                    -fno-sanitize-recover=undefined)
add_link_options(-fsanitize=fuzzer,${sanitizers})

# What the readers stand on: the chunk layer and the frame's file and text tools.
file(GLOB riff_sources ${root}/platform/riff/*.cpp)
add_library(fuzz_support STATIC ${riff_sources} ${root}/frame/library/FileTools.cpp
            ${root}/frame/library/GeneralTools.cpp ${root}/frame/GetParameter.cpp ${root}/frame/LegacyText.cpp ${root}/frame/WriteLog.cpp
            ${root}/frame/AppPaths.cpp)
target_include_directories(fuzz_support PUBLIC ${root})
target_link_libraries(fuzz_support PUBLIC Qt6::Core)

function(orvane_fuzzer target source)
  add_executable(fuzz_${target} ${CMAKE_CURRENT_SOURCE_DIR}/${source} ${ARGN})
  target_link_libraries(fuzz_${target} PRIVATE fuzz_support)
endfunction()

orvane_fuzzer(wave_format WaveFormatFuzzer.cpp ${root}/audio/WaveFormatReader.cpp)
orvane_fuzzer(cart_chunk CartChunkFuzzer.cpp ${root}/audio/CartChunk.cpp ${root}/audio/WaveChunkReader.cpp)
orvane_fuzzer(bext_chunk BextChunkFuzzer.cpp ${root}/audio/BextChunk.cpp ${root}/audio/WaveChunkReader.cpp)
orvane_fuzzer(csv_file CsvFileFuzzer.cpp ${root}/csv/cCSVFile.cpp ${root}/csv/CsvLineReader.cpp)
orvane_fuzzer(accuraterip_record AccurateRipRecordFuzzer.cpp ${root}/platform/accuraterip/AccurateRipRecord.cpp)

find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
orvane_fuzzer(transport_zip TransportZipFuzzer.cpp ${root}/frame/library/TransportZip.cpp ${root}/frame/library/CartRecord.cpp ${root}/frame/library/CartMetadata.cpp
              ${root}/frame/library/CartNumbers.cpp ${root}/frame/library/TimeTools.cpp ${root}/frame/library/LoudnessValues.cpp)
target_link_libraries(fuzz_transport_zip PRIVATE PkgConfig::LIBZIP)
