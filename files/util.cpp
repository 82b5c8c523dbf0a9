// CUtil
