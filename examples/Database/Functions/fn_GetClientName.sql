-- The name of a client, or an empty text for an unknown id.
CREATE OR ALTER FUNCTION dbo.fn_GetClientName (@id int) RETURNS nvarchar(256)
AS
BEGIN
    RETURN ISNULL((SELECT name FROM dbo.APP_Client WHERE id = @id), N'');
END
GO
