# Hardening for every target of every build (native, cross, sanitizer), not only the packages:
# the flags Debian's dpkg-buildflags gives with DEB_BUILD_MAINT_OPTIONS=hardening=+all, plus the
# stack clash and control-flow protection that Debian's hardening-check also looks for.

# Position-independent executables (-fPIE, -pie), so the programs load at a random address.
include(CheckPIESupported)
check_pie_supported()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security -Wdate-time)
# FORTIFY checks only optimised code; glibc warns when it is asked for without optimisation.
add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)

if(WIN32)
  # mingw-w64 takes __stack_chk_* and the FORTIFY checks from libssp, which gcc links (statically,
  # like the rest) when the option is on the link line too.
  add_link_options(-fstack-protector-strong)
else()
  add_compile_options(-fstack-clash-protection)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|i.86)$")
    add_compile_options(-fcf-protection)
  endif()
  # Full RELRO: relocations resolved at start, then the tables made read-only.
  add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
