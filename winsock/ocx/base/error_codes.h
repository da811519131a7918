#pragma once
// The control's error codes and their message texts: one X-macro list, the single source of the
// ErrorConstants enumeration (constants.h), of the message table (error_table.cpp) and of the
// codes every layer of the control sets (socket, secure channel, binding).
//
// WIRRAN_ERROR(code, name, text) is a code with a name in the enumeration; WIRRAN_ERROR_TEXT(code,
// text) one that only has a text. A code's HRESULT form is 0x80040000 + code. The texts are the
// module's own messages and are kept exactly as hosts have always seen them, slips included.
//
// Codes 10001 to 10024 are the control's general errors, 10035 to 10101 the network library's
// own numbers, 11001 to 11004 the resolver's, and 12003 on the control's own again.

// clang-format off
#define WIRRAN_ERRORS(WIRRAN_ERROR, WIRRAN_ERROR_TEXT) \
    WIRRAN_ERROR_TEXT(10000, "No error") \
    WIRRAN_ERROR(10001, wrErrorNotHandleOwner, "Handle not owned by the current thread") \
    WIRRAN_ERROR(10002, wrErrorFileNotFound, "The specified file or directory does not exist") \
    WIRRAN_ERROR(10003, wrErrorFileNotCreated, "The specified file could not be created") \
    WIRRAN_ERROR(10004, wrErrorOperationCanceled, "The blocking operation has been canceled") \
    WIRRAN_ERROR(10005, wrErrorInvalidFileType, "The specified file type is invalid or not a regular file") \
    WIRRAN_ERROR(10006, wrErrorInvalidDevice, "The specified file type is invalid or not a regular file") \
    WIRRAN_ERROR(10007, wrErrorTooManyParameters, "The maximum number of function parameters has been exceeded") \
    WIRRAN_ERROR(10008, wrErrorInvalidFileName, "The specified file name contains invalid characters or is too long") \
    WIRRAN_ERROR(10009, wrErrorInvalidFileHandle, "Invalid file handle passed to function") \
    WIRRAN_ERROR(10010, wrErrorFileReadFailed, "Unable to read data from the specified file") \
    WIRRAN_ERROR(10011, wrErrorFileWriteFailed, "Unable to write data to the specified file") \
    WIRRAN_ERROR(10012, wrErrorOutOfMemory, "Out of memory") \
    WIRRAN_ERROR(10013, wrErrorAccessDenied, "Access denied") \
    WIRRAN_ERROR(10014, wrErrorInvalidParameter, "Invalid argument passed to function") \
    WIRRAN_ERROR(10015, wrErrorClipboardUnavailable, "The system clipboard is currently unavailable") \
    WIRRAN_ERROR(10016, wrErrorClipboardEmpty, "The system clipboard is empty or does not contain any text data") \
    WIRRAN_ERROR(10017, wrErrorFileEmpty, "The specified file does not contain any data") \
    WIRRAN_ERROR(10018, wrErrorFileExists, "The specified file already exists") \
    WIRRAN_ERROR(10019, wrErrorEndOfFile, "End of file") \
    WIRRAN_ERROR(10020, wrErrorDeviceNotFound, "The specified device could not be found") \
    WIRRAN_ERROR(10021, wrErrorDirectoryNotFound, "The specified directory could not be found") \
    WIRRAN_ERROR(10022, wrErrorInvalidBuffer, "Invalid memory address passed to function") \
    WIRRAN_ERROR(10023, wrErrorBufferTooSmall, "The specified buffer is too small") \
    WIRRAN_ERROR(10024, wrErrorNoHandles, "No more handles available to this process") \
    WIRRAN_ERROR(10035, wrErrorOperationWouldBlock, "The specified operation would block the current thread") \
    WIRRAN_ERROR(10036, wrErrorOperationInProgress, "A network operation is currently in progress") \
    WIRRAN_ERROR(10037, wrErrorAlreadyInProgress, "The specified operation is already in progress") \
    WIRRAN_ERROR(10038, wrErrorInvalidHandle, "Invalid handle passed to function") \
    WIRRAN_ERROR(10039, wrErrorInvalidAddress, "Invalid network address specified") \
    WIRRAN_ERROR(10040, wrErrorInvalidSize, "Datagram is too large to fit in specified buffer") \
    WIRRAN_ERROR(10041, wrErrorInvalidProtocol, "Invalid network protocol specified") \
    WIRRAN_ERROR(10042, wrErrorProtocolNotAvailable, "The specified network protocol is not available") \
    WIRRAN_ERROR(10043, wrErrorProtocolNotSupported, "The specified protocol is not supported") \
    WIRRAN_ERROR(10044, wrErrorSocketNotSupported, "The specified socket type is not supported") \
    WIRRAN_ERROR(10045, wrErrorInvalidOption, "The specified option is invalid") \
    WIRRAN_ERROR(10046, wrErrorProtocolFamily, "The specified protocol family is not supported") \
    WIRRAN_ERROR(10047, wrErrorProtocolAddress, "The specified address is invalid for this protocol family") \
    WIRRAN_ERROR(10048, wrErrorAddressInUse, "The specified address is in use by another process") \
    WIRRAN_ERROR(10049, wrErrorAddressUnavailable, "The specified address cannot be assigned") \
    WIRRAN_ERROR(10050, wrErrorNetworkUnavailable, "The networking subsytem is unavailable") \
    WIRRAN_ERROR(10051, wrErrorNetworkUnreachable, "The specified network is unreachable") \
    WIRRAN_ERROR(10052, wrErrorNetworkReset, "Network dropped connection on remote reset") \
    WIRRAN_ERROR(10053, wrErrorConnectionAborted, "Network connection aborted by local host") \
    WIRRAN_ERROR(10054, wrErrorConnectionReset, "Network connection aborted by remote host") \
    WIRRAN_ERROR(10055, wrErrorOutOfBuffers, "No buffer space available") \
    WIRRAN_ERROR(10056, wrErrorAlreadyConnected, "Connection already established with remote host") \
    WIRRAN_ERROR(10057, wrErrorNotConnected, "No connection established with remote host") \
    WIRRAN_ERROR(10058, wrErrorConnectionShutdown, "Unable to send or receive data after connection shutdown") \
    WIRRAN_ERROR(10060, wrErrorOperationTimeout, "The specified operation has timed out") \
    WIRRAN_ERROR(10061, wrErrorConnectionRefused, "The connection has been refused by the remote host") \
    WIRRAN_ERROR(10064, wrErrorHostUnavailable, "The specified host is unavailable") \
    WIRRAN_ERROR(10065, wrErrorHostUnreachable, "The specified host is unreachable") \
    WIRRAN_ERROR(10067, wrErrorTooManyProcesses, "Too many processes are using the networking subsystem") \
    WIRRAN_ERROR(10091, wrErrorNetworkNotReady, "The networking subsystem is not available on this system") \
    WIRRAN_ERROR(10092, wrErrorInvalidVersion, "This version of the operating system is not supported") \
    WIRRAN_ERROR(10093, wrErrorNetworkNotInitialized, "The networking subsystem has not been initialized") \
    WIRRAN_ERROR(10101, wrErrorRemoteShutdown, "The remote host has initiated a graceful shutdown sequence") \
    WIRRAN_ERROR(11001, wrErrorInvalidHostName, "The specified hostname is invalid or could not be resolved") \
    WIRRAN_ERROR(11002, wrErrorHostNameNotFound, "The specified hostname could not be found") \
    WIRRAN_ERROR(11003, wrErrorHostNameRefused, "Unable to resolve hostname, request refused") \
    WIRRAN_ERROR(11004, wrErrorHostNameNotResolved, "Unable to resolve hostname, no address for specified host") \
    WIRRAN_ERROR(12003, wrErrorNotImplemented, "This function has not been implemented on this platform") \
    WIRRAN_ERROR(12004, wrErrorUnknownLocalhost, "Unable to determine local host name") \
    WIRRAN_ERROR(12005, wrErrorInvalidHostAddress, "Invalid host address specified") \
    WIRRAN_ERROR(12006, wrErrorInvalidServicePort, "Invalid service port number specified") \
    WIRRAN_ERROR(12007, wrErrorInvalidServiceName, "Invalid or unknown service name specified") \
    WIRRAN_ERROR(12008, wrErrorInvalidEventId, "Invalid event identifier specified") \
    WIRRAN_ERROR(12009, wrErrorOperationNotBlocking, "No blocking operation in progress on this socket") \
    WIRRAN_ERROR(12101, wrErrorSecurityNotInitialized, "Unable to initialize security interface for this process") \
    WIRRAN_ERROR(12102, wrErrorSecurityContext, "Unable to establish security context for this session") \
    WIRRAN_ERROR(12103, wrErrorSecurityCredentials, "Unable to open specified certificate store or establish credentials") \
    WIRRAN_ERROR(12104, wrErrorSecurityCertificate, "Unable to validate specified certificate") \
    WIRRAN_ERROR(12105, wrErrorSecurityDecryption, "Unable to decrypt data stream") \
    WIRRAN_ERROR(12106, wrErrorSecurityEncryption, "Unable to encrypt data stream") \
    WIRRAN_ERROR(12201, wrErrorOperationNotSupported, "The specified operation is not supported") \
    WIRRAN_ERROR(12202, wrErrorInvalidProtocolVersion, "Invalid application protocol version specified") \
    WIRRAN_ERROR(12203, wrErrorNoServerResponse, "No data returned from server") \
    WIRRAN_ERROR(12204, wrErrorInvalidServerResponse, "Invalid data returned from server") \
    WIRRAN_ERROR(12205, wrErrorUnexpectedServerResponse, "Unexpected response code returned from server") \
    WIRRAN_ERROR(12206, wrErrorServerTransactionFailed, "Server transaction failed") \
    WIRRAN_ERROR(12207, wrErrorServiceUnavailable, "The service is currently unavailable") \
    WIRRAN_ERROR(12208, wrErrorServiceNotReady, "The service is not ready, try again later") \
    WIRRAN_ERROR(12209, wrErrorServerResyncFailed, "Unable to resynchronize with server") \
    WIRRAN_ERROR(12210, wrErrorInvalidProxyType, "Invalid proxy server type specified") \
    WIRRAN_ERROR(12211, wrErrorProxyRequired, "Resource must be accessed through specified proxy") \
    WIRRAN_ERROR(12212, wrErrorInvalidProxyLogin, "Unable to login to proxy server using specified credentials") \
    WIRRAN_ERROR(12213, wrErrorProxyResyncFailed, "Unable to resynchronize with proxy server") \
    WIRRAN_ERROR(12214, wrErrorInvalidCommand, "Invalid command specified") \
    WIRRAN_ERROR(12215, wrErrorInvalidCommandParameter, "Invalid command parameter specified") \
    WIRRAN_ERROR(12216, wrErrorInvalidCommandSequence, "Invalid command sequence specified") \
    WIRRAN_ERROR(12217, wrErrorCommandNotImplemented, "Specified command not implemented on this server") \
    WIRRAN_ERROR(12218, wrErrorCommandNotAuthorized, "Specified command not authorized for the current user") \
    WIRRAN_ERROR(12219, wrErrorCommandAborted, "Specified command was aborted by the remote host") \
    WIRRAN_ERROR(12220, wrErrorOptionNotSupported, "The specified option is not supported on this server") \
    WIRRAN_ERROR(12221, wrErrorRequestNotCompleted, "The current client request has not been completed") \
    WIRRAN_ERROR(12222, wrErrorInvalidUserName, "The specified username is invalid") \
    WIRRAN_ERROR(12223, wrErrorInvalidPassword, "The specified password is invalid") \
    WIRRAN_ERROR(12224, wrErrorInvalidAccount, "The specified account name is invalid") \
    WIRRAN_ERROR(12225, wrErrorAccountRequired, "Account name has not been specified") \
    WIRRAN_ERROR(12226, wrErrorInvalidAuthenticationType, "Invalid authentication protocol specified") \
    WIRRAN_ERROR(12227, wrErrorAuthenticationRequired, "User authentication is required") \
    WIRRAN_ERROR(12228, wrErrorProxyAuthenticationRequired, "Proxy authentication required") \
    WIRRAN_ERROR(12229, wrErrorAlreadyAuthenticated, "User has already been authenticated") \
    WIRRAN_ERROR(12230, wrErrorAuthenticationFailed, "Unable to authenticate the specified user") \
    WIRRAN_ERROR(12251, wrErrorNetworkAdapter, "Unable to determine network adapter configuration") \
    WIRRAN_ERROR(12252, wrErrorInvalidRecordType, "Invalid record type specified") \
    WIRRAN_ERROR(12253, wrErrorInvalidRecordName, "Invalid record name specified") \
    WIRRAN_ERROR(12254, wrErrorInvalidRecordData, "Invalid record data specified") \
    WIRRAN_ERROR(12255, wrErrorConnectionOpen, "Data connection already established") \
    WIRRAN_ERROR(12256, wrErrorConnectionClosed, "Server closed data connection") \
    WIRRAN_ERROR(12257, wrErrorConnectionPassive, "Data connection is passive") \
    WIRRAN_ERROR(12258, wrErrorConnectionFailed, "Unable to open data connection to server") \
    WIRRAN_ERROR(12259, wrErrorInvalidSecurityLevel, "Data connection cannot be opened with this security setting") \
    WIRRAN_ERROR(12260, wrErrorCachedTLSRequired, "Data connection requires cached TLS session") \
    WIRRAN_ERROR(12261, wrErrorDataReadOnly, "Data connection is read-only") \
    WIRRAN_ERROR(12262, wrErrorDataWriteOnly, "Data connection is write-only") \
    WIRRAN_ERROR(12263, wrErrorEndOfData, "End of data") \
    WIRRAN_ERROR(12264, wrErrorRemoteFileUnavailable, "Remote file is unavailable") \
    WIRRAN_ERROR(12265, wrErrorInsufficientStorage, "Insufficient storage on server") \
    WIRRAN_ERROR(12266, wrErrorStorageallocation, "File exceeded storage allocation on server") \
    WIRRAN_ERROR(12267, wrErrorDirectoryExists, "The specified directory already exists") \
    WIRRAN_ERROR(12268, wrErrorDirectoryEmpty, "No files returned by the server for the specified directory") \
    WIRRAN_ERROR(12269, wrErrorEndOfDirectory, "End of directory listing") \
    WIRRAN_ERROR(12270, wrErrorUnknownDirectoryFormat, "Unknown directory format") \
    WIRRAN_ERROR(12271, wrErrorInvalidResource, "Invalid resource name specified") \
    WIRRAN_ERROR(12272, wrErrorResourceRedirected, "The specified resource has been redirected") \
    WIRRAN_ERROR(12273, wrErrorResourceRestricted, "Access to this resource has been restricted") \
    WIRRAN_ERROR(12274, wrErrorResourceNotModified, "The specified resource has not been modified") \
    WIRRAN_ERROR(12275, wrErrorResourceNotFound, "The specified resource cannot be found") \
    WIRRAN_ERROR(12276, wrErrorResourceConflict, "Request could not be completed due to the current state of the resource") \
    WIRRAN_ERROR(12277, wrErrorResourceRemoved, "The specified resource has been permanently removed from this server") \
    WIRRAN_ERROR(12278, wrErrorContentLengthRequired, "Request must include the content length") \
    WIRRAN_ERROR(12279, wrErrorRequestPrecondition, "Request could not be completed due to server precondition") \
    WIRRAN_ERROR(12280, wrErrorUnsupportedMediaType, "Request specified an unsupported media type") \
    WIRRAN_ERROR(12281, wrErrorInvalidContentRange, "Content range specified for this resource is invalid") \
    WIRRAN_ERROR(12282, wrErrorInvalidMessagePart, "Message is not multi-part or an invalid message part was specified") \
    WIRRAN_ERROR(12283, wrErrorInvalidMessageHeader, "The specified message header is invalid or has not been defined") \
    WIRRAN_ERROR(12284, wrErrorInvalidMessageBoundary, "The multipart message boundary has not been defined") \
    WIRRAN_ERROR(12285, wrErrorNoFileAttachment, "The current message part does not contain a file attachment") \
    WIRRAN_ERROR(12286, wrErrorUnknownFileType, "The specified file type could not be determined") \
    WIRRAN_ERROR(12287, wrErrorDataNotEncoded, "The specified data block could not be encoded") \
    WIRRAN_ERROR(12288, wrErrorDataNotDecoded, "The specified data block could not be decoded") \
    WIRRAN_ERROR(12289, wrErrorFileNotEncoded, "The specified file could not be encoded") \
    WIRRAN_ERROR(12290, wrErrorFileNotDecoded, "The specified file could not be decoded") \
    WIRRAN_ERROR(12291, wrErrorNoMessageText, "No message text") \
    WIRRAN_ERROR(12292, wrErrorInvalidCharacterSet, "Invalid character set specified") \
    WIRRAN_ERROR(12293, wrErrorInvalidEncodingType, "Invalid encoding type specified") \
    WIRRAN_ERROR(12294, wrErrorInvalidMessageNumber, "Invalid message number specified") \
    WIRRAN_ERROR(12295, wrErrorNoReturnAddress, "No valid return address specified") \
    WIRRAN_ERROR(12296, wrErrorNoValidRecipients, "No valid recipients specified") \
    WIRRAN_ERROR(12297, wrErrorInvalidRecipient, "The specified recipient address is invalid") \
    WIRRAN_ERROR(12298, wrErrorRelayNotAuthorized, "The specified domain is invalid or server will not relay messages") \
    WIRRAN_ERROR(12299, wrErrorMailboxUnavailable, "Specified mailbox is currently unavailable") \
    WIRRAN_ERROR(12300, wrErrorMailboxReadOnly, "The selected mailbox cannot be modified") \
    WIRRAN_ERROR(12301, wrErrorMailboxNotSelected, "No mailbox has been selected") \
    WIRRAN_ERROR(12302, wrErrorInvalidMailbox, "Specified mailbox is invalid") \
    WIRRAN_ERROR(12303, wrErrorInvalidDomain, "The specified domain name is invalid or not recognized") \
    WIRRAN_ERROR(12304, wrErrorInvalidSender, "The specified sender address is invalid or not recognized") \
    WIRRAN_ERROR(12305, wrErrorMessageNotDelivered, "Message not delivered to any of the specified recipients") \
    WIRRAN_ERROR(12306, wrErrorEndofMessageData, "No more message data available to be read") \
    WIRRAN_ERROR(12307, wrErrorInvalidmessageSize, "The specified message size is invalid") \
    WIRRAN_ERROR(12308, wrErrorMessageNotCreated, "The message could not be created in the specified mailbox") \
    WIRRAN_ERROR(12309, wrErrorNoMoreMailboxes, "No more mailboxes exist on this server") \
    WIRRAN_ERROR(12310, wrErrorInvalidEmulationType, "The specified terminal emulation type is invalid") \
    WIRRAN_ERROR(12311, wrErrorInvalidFontHandle, "The specified font handle is invalid") \
    WIRRAN_ERROR(12312, wrErrorInvalidFontName, "The specified font name is invalid or unavailable") \
    WIRRAN_ERROR(12313, wrErrorInvalidPacketSize, "The specified packet size is invalid") \
    WIRRAN_ERROR(12314, wrErrorInvalidPacketData, "The specified packet data is invalid") \
    WIRRAN_ERROR(12315, wrErrorInvalidPacketId, "The unique packet identifier is invalid") \
    WIRRAN_ERROR(12316, wrErrorPacketTTLExpired, "The specified packet time-to-live period has expired") \
    WIRRAN_ERROR(12317, wrErrorInvalidNewsGroup, "Invalid newsgroup specified") \
    WIRRAN_ERROR(12318, wrErrorNoNewsgroupSelected, "No newsgroup selected") \
    WIRRAN_ERROR(12319, wrErrorEmptyNewsgroup, "No articles in specified newsgroup") \
    WIRRAN_ERROR(12320, wrErrorInvalidArticle, "Invalid article number specified") \
    WIRRAN_ERROR(12321, wrErrorNoArticleSelected, "No article selected in the current newsgroup") \
    WIRRAN_ERROR(12322, wrErrorFirstArticle, "First article in current newsgroup") \
    WIRRAN_ERROR(12323, wrErrorLastArticle, "Last article in current newsgroup") \
    WIRRAN_ERROR(12324, wrErrorArticleExists, "Unable to transfer article, article already exists") \
    WIRRAN_ERROR(12325, wrErrorArticleRejected, "Unable to transfer article, article rejected") \
    WIRRAN_ERROR(12326, wrErrorArticleTransferFailed, "Article transfer failed") \
    WIRRAN_ERROR(12327, wrErrorArticlePostingDenied, "Posting is not permitted on this server") \
    WIRRAN_ERROR(12328, wrErrorArticlePostingFailed, "Posting is not permitted on this server") \
    WIRRAN_ERROR(12329, wrErrorInvalidDateFormat, "The specified date format is not recognized") \
    WIRRAN_ERROR(12330, wrErrorFeatureNotSupported, "The specified feature is not supported") \
    WIRRAN_ERROR_TEXT(12331, "The specified form handle is invalid or a form has not been created") \
    WIRRAN_ERROR_TEXT(12332, "The specified form action is invalid or has not been specified") \
    WIRRAN_ERROR_TEXT(12333, "The specified form method is invalid or not supported") \
    WIRRAN_ERROR_TEXT(12334, "The specified form type is invalid or not supported") \
    WIRRAN_ERROR_TEXT(12335, "The specified form field name is invalid or does not exist") \
    WIRRAN_ERROR_TEXT(12336, "The specified form does not contain any field values") \
    WIRRAN_ERROR_TEXT(12337, "The maximum number of client connections exceeded") \
    WIRRAN_ERROR_TEXT(12338, "Unable to create a new thread for the current process") \
    WIRRAN_ERROR_TEXT(12339, "The specified thread handle is no longer valid") \
    WIRRAN_ERROR_TEXT(12340, "The specified thread has been terminated") \
    WIRRAN_ERROR_TEXT(12341, "The operation would result in the current thread becoming deadlocked") \
    WIRRAN_ERROR_TEXT(12342, "The specified moniker is not associated with any client session") \
    WIRRAN_ERROR_TEXT(12343, "The specified moniker has been assigned to another client session") \
    WIRRAN_ERROR_TEXT(12344, "The specified server is not listening for client connections") \
    WIRRAN_ERROR_TEXT(12345, "The specified server is suspended and not accepting client connections") \
    WIRRAN_ERROR_TEXT(12346, "No message store has been specified") \
    WIRRAN_ERROR_TEXT(12347, "The message store has changed since it was last accessed") \
    WIRRAN_ERROR_TEXT(12348, "No message was found that matches the specified criteria") \
    WIRRAN_ERROR_TEXT(12349, "The specified message has been deleted") \
    WIRRAN_ERROR_TEXT(12350, "The local and remote file checksums do not match") \
    WIRRAN_ERROR_TEXT(12351, "The local and remote file sizes do not match")
// clang-format on
