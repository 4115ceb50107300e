# Windows build of the library (native or cross-built with mingw-w64):
# KORDA32Ext.dll with its import library KORDA32Ext.lib, undecorated exports
# from src/KORDA32Ext.def, a version resource, and no dependency on compiler
# runtime DLLs.

enable_language(RC)

# Winsock 2 for the DLL, and for every target made after this point (the
# internals library, the virtual instrument, the programs and the tests).
target_link_libraries(KORDA32Ext PRIVATE ws2_32)
link_libraries(ws2_32)

# Programs and the DLL side by side, as in an installation, so that the
# programs find the DLL.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})

# The DLL is KORDA32Ext.dll (no "lib" prefix); its import library KORDA32Ext.lib.
set_target_properties(KORDA32Ext PROPERTIES
  PREFIX ""
  IMPORT_PREFIX ""
  IMPORT_SUFFIX ".lib")

# Exported names come from the module-definition file, so every dlxVmr
# function is exported under its plain name (no decoration).
target_sources(KORDA32Ext PRIVATE ${PROJECT_SOURCE_DIR}/src/KORDA32Ext.def)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # 32-bit __stdcall names carry an @N suffix: the plain names of the .def
  # file resolve to them, and the DLL exports them without it.
  target_link_options(KORDA32Ext PRIVATE -Wl,--kill-at -Wl,--enable-stdcall-fixup)
endif()

# Version resource.
configure_file(${PROJECT_SOURCE_DIR}/src/KORDA32Ext.rc.in ${PROJECT_BINARY_DIR}/KORDA32Ext.rc @ONLY)
target_sources(KORDA32Ext PRIVATE ${PROJECT_BINARY_DIR}/KORDA32Ext.rc)

if(MINGW)
  # Link the compiler's runtime (libgcc, libstdc++, winpthread) statically
  # into the DLL and every program, so that nothing but system DLLs is needed.
  set(KORDA_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
  target_link_options(KORDA32Ext PRIVATE ${KORDA_STATIC_RUNTIME})
  add_link_options(${KORDA_STATIC_RUNTIME})
endif()
