# codesign.cmake: the Windows build's Authenticode signing. With a certificate (CODESIGN_PKCS12,
# or CODESIGN_PKCS11_MODULE with CODESIGN_KEY and CODESIGN_CERTS; the password or PIN in
# CODESIGN_PASSWORD_FILE), or with a release's detached signatures (CODESIGN_SIGNATURES),
# cmake/codesign.sh signs velmorade.exe and velmorade.scr as they are installed, once stripped,
# and the setup and its uninstaller as NSIS writes them. Without either nothing is signed and the
# files are what they were. Sets CODESIGN_NSIS, makensis's arguments for the setup, and
# CODESIGN_CONF, which the setup depends on so that it is made anew when the signing changes.
set(CODESIGN_PKCS12 "" CACHE FILEPATH "PKCS#12 file of the code-signing certificate and its key")
set(CODESIGN_PKCS11_MODULE "" CACHE FILEPATH "PKCS#11 module of the token that holds the key")
set(CODESIGN_KEY "" CACHE STRING "the key in the token, a pkcs11: URI")
set(CODESIGN_CERTS "" CACHE FILEPATH "the key's certificate and its chain, PEM, for PKCS#11")
set(CODESIGN_PASSWORD_FILE "" CACHE FILEPATH "a file holding the PKCS#12 file's password or the token's PIN")
set(CODESIGN_TIMESTAMP "" CACHE STRING "the RFC 3161 timestamp server's address")
set(CODESIGN_ROOTS /etc/ssl/certs/ca-certificates.crt CACHE FILEPATH
    "the roots of the certificate's and the timestamp's chains, PEM")
set(CODESIGN_SIGNATURES "" CACHE PATH "a release's detached signatures, to attach instead of signing")

set(CODESIGN_CONF ${CMAKE_BINARY_DIR}/codesign.conf)
set(kept ${CMAKE_BINARY_DIR}/signatures)
set(conf "")
set(CODESIGN_NSIS "")
if(CODESIGN_PKCS12 OR CODESIGN_PKCS11_MODULE OR CODESIGN_SIGNATURES)
  find_program(OSSLSIGNCODE osslsigncode)
  if(NOT OSSLSIGNCODE)
    message(FATAL_ERROR "osslsigncode is needed to sign the Windows programs")
  endif()
  if(CODESIGN_SIGNATURES)
    if(NOT EXISTS ${CODESIGN_SIGNATURES}/roots.pem)
      message(FATAL_ERROR "CODESIGN_SIGNATURES (${CODESIGN_SIGNATURES}) holds no release's signatures: no roots.pem")
    endif()
    set(conf "ATTACH=${CODESIGN_SIGNATURES}\n")
    # Other signatures in the same folder attach anew.
    file(GLOB signatures ${CODESIGN_SIGNATURES}/*.sig)
    foreach(signature ${signatures})
      file(SHA256 ${signature} hash)
      string(APPEND conf "# ${hash}\n")
    endforeach()
  else()
    if(CODESIGN_PKCS12)
      set(files CODESIGN_PKCS12)
    else()
      set(files CODESIGN_CERTS)
    endif()
    foreach(file ${files} CODESIGN_PASSWORD_FILE CODESIGN_ROOTS)
      if(NOT EXISTS "${${file}}")
        message(FATAL_ERROR "${file} (${${file}}) is not a file")
      endif()
    endforeach()
    if(NOT CODESIGN_TIMESTAMP)
      message(FATAL_ERROR "CODESIGN_TIMESTAMP names no timestamp server")
    endif()
    # Another certificate signs anew rather than reusing the signatures of this one.
    file(SHA256 ${${files}} certificate)
    string(CONCAT conf "PKCS12=${CODESIGN_PKCS12}\nPKCS11_MODULE=${CODESIGN_PKCS11_MODULE}\nKEY=${CODESIGN_KEY}\n"
           "CERTS=${CODESIGN_CERTS}\nPASSWORD_FILE=${CODESIGN_PASSWORD_FILE}\nTIMESTAMP=${CODESIGN_TIMESTAMP}\n"
           "ROOTS=${CODESIGN_ROOTS}\n# certificate ${certificate}\n")
  endif()
  string(APPEND conf "KEPT=${kept}\n")
  set(sign sh ${PROJECT_SOURCE_DIR}/cmake/codesign.sh ${CODESIGN_CONF})
  install(CODE "foreach(program velmorade.exe velmorade.scr)
                  execute_process(COMMAND ${sign} \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${program}\"
                                  COMMAND_ERROR_IS_FATAL ANY)
                endforeach()")
  set(CODESIGN_NSIS -DCODESIGN=${PROJECT_SOURCE_DIR}/cmake/codesign.sh -DCODESIGN_CONF=${CODESIGN_CONF})
endif()

# Signatures kept from another way of signing are dropped with it.
set(old "")
if(EXISTS ${CODESIGN_CONF})
  file(READ ${CODESIGN_CONF} old)
endif()
if(NOT old STREQUAL conf OR NOT EXISTS ${CODESIGN_CONF})
  file(REMOVE_RECURSE ${kept})
  file(WRITE ${CODESIGN_CONF} "${conf}")
endif()
